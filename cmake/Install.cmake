# `make install`: the program and its help in <prefix>/lib/tarnwick, links to the two programs in
# <prefix>/bin, the desktop entry, the icon in the hicolor theme and the polkit action that lets the
# entry start Tarnwick as root. Everything is one component, so `cmake --install --component
# tarnwick` writes its own manifest and leaves the one `make uninstall` reads alone.
set(TARNWICK_INSTALL_COMPONENT tarnwick)
set(TARNWICK_PROGRAM_DESTINATION lib/tarnwick)
# polkit reads actions from this one folder whatever the prefix.
set(TARNWICK_POLKIT_ACTIONS_DIR /usr/share/polkit-1/actions
    CACHE PATH "Where the polkit action that starts Tarnwick as root is installed")

install(TARGETS tarnwick tarnwick-cli
    RUNTIME DESTINATION ${TARNWICK_PROGRAM_DESTINATION} COMPONENT ${TARNWICK_INSTALL_COMPONENT})
install(FILES ${PROJECT_BINARY_DIR}/bin/help.chm
    DESTINATION ${TARNWICK_PROGRAM_DESTINATION} COMPONENT ${TARNWICK_INSTALL_COMPONENT})

# Relative links, so the tree works under any prefix and DESTDIR.
set(_links ${PROJECT_BINARY_DIR}/install/links)
file(MAKE_DIRECTORY ${_links})
foreach(_program tarnwick tarnwick-cli)
    file(CREATE_LINK ../${TARNWICK_PROGRAM_DESTINATION}/${_program} ${_links}/${_program} SYMBOLIC)
    install(FILES ${_links}/${_program}
        DESTINATION bin COMPONENT ${TARNWICK_INSTALL_COMPONENT})
endforeach()

foreach(_size IN LISTS TARNWICK_ICON_SIZES)
    install(FILES ${TARNWICK_ICON_DIR}/tarnwick-${_size}.png
        DESTINATION share/icons/hicolor/${_size}x${_size}/apps RENAME tarnwick.png
        COMPONENT ${TARNWICK_INSTALL_COMPONENT})
endforeach()

# The launcher, the desktop entry and the action name the installed program by its full path, and
# the prefix is known only when installing (`cmake --install --prefix`): they are written then.
set(_generated ${PROJECT_BINARY_DIR}/install/generated)
install(CODE "
    set(TARNWICK_TEMPLATES \"${PROJECT_SOURCE_DIR}/resources/desktop\")
    set(TARNWICK_GENERATED \"${_generated}\")
    set(TARNWICK_PROGRAM_DESTINATION \"${TARNWICK_PROGRAM_DESTINATION}\")
    include(\"${PROJECT_SOURCE_DIR}/cmake/WriteDesktopFiles.cmake\")
    " COMPONENT ${TARNWICK_INSTALL_COMPONENT})
install(PROGRAMS ${_generated}/tarnwick-launch
    DESTINATION ${TARNWICK_PROGRAM_DESTINATION} COMPONENT ${TARNWICK_INSTALL_COMPONENT})
install(FILES ${_generated}/tarnwick.desktop
    DESTINATION share/applications COMPONENT ${TARNWICK_INSTALL_COMPONENT})
install(FILES ${_generated}/com.quorvane.tarnwick.policy
    DESTINATION ${TARNWICK_POLKIT_ACTIONS_DIR} COMPONENT ${TARNWICK_INSTALL_COMPONENT})

# What `make install` builds: the installed files and nothing else (no tests).
add_custom_target(tarnwick_installable DEPENDS tarnwick tarnwick-cli tarnwick_application_icon)
if(TARGET tarnwick_help)
    add_dependencies(tarnwick_installable tarnwick_help)
endif()
