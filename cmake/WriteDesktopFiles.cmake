# Run while installing: writes the launcher, the desktop entry and the polkit action for the
# prefix being installed to (CMAKE_INSTALL_PREFIX is the one given to `cmake --install`).
get_filename_component(_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(TARNWICK_PROGRAM "${_prefix}/${TARNWICK_PROGRAM_DESTINATION}/tarnwick")
set(TARNWICK_LAUNCHER "${_prefix}/${TARNWICK_PROGRAM_DESTINATION}/tarnwick-launch")
foreach(_file tarnwick-launch tarnwick.desktop com.quorvane.tarnwick.policy)
    configure_file("${TARNWICK_TEMPLATES}/${_file}.in" "${TARNWICK_GENERATED}/${_file}" @ONLY)
endforeach()
