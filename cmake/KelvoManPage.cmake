# kelvo's manual page, made at build time by help2man from the program's own --help and
# --version, so that it says what the options say; installed compressed under share/man/man1.

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
add_custom_target(kelvo_tool_man_page ALL DEPENDS "${kelvo_compressed}")
install(FILES "${kelvo_compressed}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
