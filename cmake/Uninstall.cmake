# `make uninstall`: removes every file the last install listed in its manifest (MANIFEST=<file>),
# under $DESTDIR when that is set as it was for the install. The program's folder goes too when
# nothing is left in it; log files written there are kept, and so is the folder then.
if(NOT EXISTS "${MANIFEST}")
    message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} does not exist (make install writes it)")
endif()
file(STRINGS "${MANIFEST}" _installed)
set(_folders "")
foreach(_file IN LISTS _installed)
    set(_path "$ENV{DESTDIR}${_file}")
    if(IS_SYMLINK "${_path}" OR EXISTS "${_path}")
        file(REMOVE "${_path}")
        message(STATUS "Removed: ${_path}")
    endif()
    get_filename_component(_folder "${_path}" DIRECTORY)
    if(_folder MATCHES "/lib/tarnwick$")
        list(APPEND _folders "${_folder}")
    endif()
endforeach()
list(REMOVE_DUPLICATES _folders)
foreach(_folder IN LISTS _folders)
    # rmdir removes only an empty folder.
    execute_process(COMMAND rmdir "${_folder}" OUTPUT_QUIET ERROR_QUIET)
endforeach()
