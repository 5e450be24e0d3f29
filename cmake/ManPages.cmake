# The manual pages. The OPTIONS section of each page is made from the program's option table
# by kelvo_man_options: the build puts it into the page from man/ and fails when the page in
# man/ differs, so that the committed page is always the one the table makes
# (`cmake --build <build dir> --target kelvo_update_man_pages` writes the made pages back into
# man/). The made pages are installed compressed under share/man/man1.
#
# Run as a script (cmake -P) it makes one page: -DTOOL=<kelvo_man_options> -DPROGRAM=<name>
# -DPAGE=<man/name.1> -DOUTPUT=<made page>, and -DUPDATE=ON to write the made page to PAGE.

if(CMAKE_SCRIPT_MODE_FILE)
  execute_process(COMMAND "${TOOL}" "${PROGRAM}" OUTPUT_VARIABLE section RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${TOOL} ${PROGRAM} failed: ${result}")
  endif()
  file(READ "${PAGE}" page)
  string(FIND "${page}" ".SH OPTIONS\n" begin)
  if(begin EQUAL -1)
    message(FATAL_ERROR "${PAGE} has no OPTIONS section")
  endif()
  string(SUBSTRING "${page}" 0 ${begin} head)
  string(SUBSTRING "${page}" ${begin} -1 rest)
  string(FIND "${rest}" "\n.SH " next)
  if(next EQUAL -1)
    message(FATAL_ERROR "${PAGE} has no section after OPTIONS")
  endif()
  math(EXPR next "${next} + 1")
  string(SUBSTRING "${rest}" ${next} -1 tail)
  set(made "${head}${section}${tail}")
  if(UPDATE)
    file(WRITE "${PAGE}" "${made}")
  elseif(NOT made STREQUAL page)
    file(WRITE "${OUTPUT}.differs" "${made}")
    message(FATAL_ERROR "${PAGE}: the OPTIONS section differs from the one that the option "
                        "table makes (${OUTPUT}.differs); run "
                        "`cmake --build <build dir> --target kelvo_update_man_pages`")
  endif()
  file(REMOVE "${OUTPUT}.differs")
  file(WRITE "${OUTPUT}" "${made}")
  return()
endif()

add_executable(kelvo_man_options src/drivers/main_manoptions.cpp)
target_link_libraries(kelvo_man_options PRIVATE kelvo_code)

set(kelvo_man_script "${CMAKE_SOURCE_DIR}/cmake/ManPages.cmake")
foreach(program ${KELVO_PROGRAMS})
  set(page "${CMAKE_SOURCE_DIR}/man/${program}.1")
  set(made "${CMAKE_BINARY_DIR}/man/${program}.1")
  set(compressed "${CMAKE_BINARY_DIR}/man/${program}.1.gz")
  add_custom_command(
    OUTPUT "${made}"
    COMMAND "${CMAKE_COMMAND}" "-DTOOL=$<TARGET_FILE:kelvo_man_options>" "-DPROGRAM=${program}"
            "-DPAGE=${page}" "-DOUTPUT=${made}" -P "${kelvo_man_script}"
    DEPENDS kelvo_man_options "${page}" "${kelvo_man_script}"
    VERBATIM)
  add_custom_command(
    OUTPUT "${compressed}"
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${made}" "-DOUTPUT=${compressed}"
            -P "${CMAKE_SOURCE_DIR}/cmake/Compress.cmake"
    DEPENDS "${made}" "${CMAKE_SOURCE_DIR}/cmake/Compress.cmake"
    VERBATIM)
  list(APPEND kelvo_man_pages "${compressed}")
  list(APPEND kelvo_man_updates
       COMMAND "${CMAKE_COMMAND}" "-DTOOL=$<TARGET_FILE:kelvo_man_options>" "-DPROGRAM=${program}"
               "-DPAGE=${page}" "-DOUTPUT=${made}" -DUPDATE=ON -P "${kelvo_man_script}")
endforeach()
add_custom_target(kelvo_man_pages ALL DEPENDS ${kelvo_man_pages})
add_custom_target(kelvo_update_man_pages ${kelvo_man_updates} DEPENDS kelvo_man_options VERBATIM)
install(FILES ${kelvo_man_pages} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
