# Runs one program without arguments in a fresh work directory that holds the two source tables,
# checks that it derived its table without a failure, and puts the table into TABLE_DIR.
# Set by the caller: PROGRAM, EMULATOR (may be empty), TABLE_DIR, WORK_DIR, TABLE.

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
foreach(source "MS932~UTF16.bin" "MS932~EUC-JP.bin")
  file(COPY_FILE "${TABLE_DIR}${source}" "${WORK_DIR}/${source}")
endforeach()

execute_process(COMMAND ${EMULATOR} "${PROGRAM}"
                WORKING_DIRECTORY "${WORK_DIR}"
                RESULT_VARIABLE status
                OUTPUT_VARIABLE output
                ERROR_VARIABLE output)

# Every failure of a program leaves an error-log file; a failed read can still end with status 0
# and a short table.
file(GLOB logs "${WORK_DIR}/err*.txt")
set(reports "")
foreach(log IN LISTS logs)
  file(READ "${log}" text)
  string(APPEND reports "\n  ${text}")
endforeach()
set(size 0)
if(EXISTS "${WORK_DIR}/${TABLE}")
  file(SIZE "${WORK_DIR}/${TABLE}" size)
endif()
math(EXPR partial "${size} % 5")
if(NOT status EQUAL 0 OR logs OR size EQUAL 0 OR NOT partial EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} did not derive ${TABLE} (exit status ${status}, ${size} bytes)"
                      "${reports}\n${output}")
endif()

file(COPY_FILE "${WORK_DIR}/${TABLE}" "${TABLE_DIR}${TABLE}")
file(REMOVE_RECURSE "${WORK_DIR}")
