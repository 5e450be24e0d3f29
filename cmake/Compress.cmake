# gzip -9 without a name or time stamp in the header, so that the same input always gives the
# same bytes. Set by the caller: INPUT, OUTPUT.

find_program(GZIP gzip REQUIRED)
get_filename_component(directory "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${directory}")
execute_process(COMMAND "${GZIP}" -9 -n -c
                INPUT_FILE "${INPUT}"
                OUTPUT_FILE "${OUTPUT}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "gzip could not compress ${INPUT}")
endif()
