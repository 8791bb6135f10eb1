# One interface target carries the flags every Tarnwick target shares.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

add_library(tarnwick_flags INTERFACE)
target_compile_options(tarnwick_flags INTERFACE -Wall -Wextra)
# Warnings stop our own builds (the Makefile and CI turn this on); a packager's plain build with
# another compiler release should not fail on a warning that release adds.
option(TARNWICK_WERROR "Treat compiler warnings as errors" OFF)
if(TARNWICK_WERROR)
    target_compile_options(tarnwick_flags INTERFACE -Werror)
endif()
# Includes are written from the repository root ("components/...", "shell/...").
target_include_directories(tarnwick_flags INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
target_compile_definitions(tarnwick_flags INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
    QT_NO_CAST_FROM_BYTEARRAY QT_USE_QSTRINGBUILDER)

if(TARNWICK_SANITIZE)
    set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_compile_options(${_san})
    add_link_options(${_san})
endif()
# ThreadSanitizer for the tests that run threads (`make test-tsan`); it cannot share a process
# with AddressSanitizer.
if(TARNWICK_TSAN)
    if(TARNWICK_SANITIZE)
        message(FATAL_ERROR "TARNWICK_TSAN and TARNWICK_SANITIZE need separate builds")
    endif()
    set(_tsan -fsanitize=thread -fno-omit-frame-pointer)
    add_compile_options(${_tsan})
    add_link_options(${_tsan})
endif()

# Build-time facts about the program: company, product and version, compiled in.
configure_file(${PROJECT_SOURCE_DIR}/cmake/BuildInfo.h.in ${PROJECT_BINARY_DIR}/generated/BuildInfo.h @ONLY)
