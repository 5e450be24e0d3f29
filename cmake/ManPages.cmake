# The manual pages, installed compressed under share/man/man1.

foreach(program ${KELVO_PROGRAMS})
  set(page "${CMAKE_SOURCE_DIR}/man/${program}.1")
  set(compressed "${CMAKE_BINARY_DIR}/man/${program}.1.gz")
  add_custom_command(
    OUTPUT "${compressed}"
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${page}" "-DOUTPUT=${compressed}"
            -P "${CMAKE_SOURCE_DIR}/cmake/Compress.cmake"
    DEPENDS "${page}" "${CMAKE_SOURCE_DIR}/cmake/Compress.cmake"
    VERBATIM)
  list(APPEND kelvo_man_pages "${compressed}")
endforeach()
add_custom_target(kelvo_man_pages ALL DEPENDS ${kelvo_man_pages})
install(FILES ${kelvo_man_pages} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
