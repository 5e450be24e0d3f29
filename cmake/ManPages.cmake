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
# kelvo's page is made from its own --help and --version, so that it says what the options say.
find_program(KELVO_HELP2MAN help2man REQUIRED)
set(kelvo_page "${CMAKE_BINARY_DIR}/man/kelvo.1")
set(kelvo_compressed "${CMAKE_BINARY_DIR}/man/kelvo.1.gz")
add_custom_command(
  OUTPUT "${kelvo_page}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/man"
  COMMAND "${KELVO_HELP2MAN}" --no-info --section=1 --source=Kelvo
          "--name=convert Japanese text files and trees between UTF-8, UTF-16, EUC-JP and Shift_JIS"
          --output=${kelvo_page} $<TARGET_FILE:kelvo_tool>
  DEPENDS kelvo_tool
  VERBATIM)
add_custom_command(
  OUTPUT "${kelvo_compressed}"
  COMMAND "${CMAKE_COMMAND}" "-DINPUT=${kelvo_page}" "-DOUTPUT=${kelvo_compressed}"
          -P "${CMAKE_SOURCE_DIR}/cmake/Compress.cmake"
  DEPENDS "${kelvo_page}" "${CMAKE_SOURCE_DIR}/cmake/Compress.cmake"
  VERBATIM)
list(APPEND kelvo_man_pages "${kelvo_compressed}")
add_custom_target(kelvo_man_pages ALL DEPENDS ${kelvo_man_pages})
install(FILES ${kelvo_man_pages} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
