# The five table files of an installed tree, made in the build tree: the two source tables are
# copied from data/, and each program derives its own table from them, run without arguments
# as a user would run it. cmake --install then only copies files.
#
# The programs read their sources from their default table directory and from the current
# directory. Where the default directory of the built programs is the build tree's own table
# directory (a relative one, as installed trees have), the built programs themselves derive the
# tables. Otherwise (an absolute directory, or a Windows build) programs built from the same
# sources with a relative directory of their own do it from a tree of their own, so that
# nothing outside the build tree is read or written. A cross-build runs them through its
# emulator, or without one takes the tables of a host build (they are the same on every system).

set(KELVO_TABLE_WORK_DIR "${CMAKE_BINARY_DIR}/table-work")

set(kelvo_build_table_dir "")
if(NOT WIN32 AND KELVO_TABLE_DIR_RELATIVE)
  cmake_path(APPEND KELVO_BUILD_BIN_DIR "${KELVO_TABLE_DIR}" OUTPUT_VARIABLE kelvo_build_table_dir)
  cmake_path(NORMAL_PATH kelvo_build_table_dir)
  cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${kelvo_build_table_dir}" NORMALIZE kelvo_inside)
  if(NOT kelvo_inside)
    set(kelvo_build_table_dir "")
  endif()
endif()

set(kelvo_derive ON)
# The programs whose table directory is relative to themselves, for the tests of a moved tree.
set(KELVO_RELOCATABLE_TARGET "")
set(KELVO_RELOCATABLE_TABLE_DIR "")
if(kelvo_build_table_dir)
  set(kelvo_derivers ${KELVO_PROGRAMS})
  set(KELVO_RELOCATABLE_TARGET tamorlek)
  set(KELVO_RELOCATABLE_TABLE_DIR "${KELVO_TABLE_DIR}")
elseif(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(kelvo_derive OFF)
  set(kelvo_build_table_dir "${CMAKE_BINARY_DIR}/tables/")
else()
  # Programs of their own, in a tree laid out as an installed one.
  kelvo_platform_library(kelvo_platform_relocatable)
  target_compile_definitions(kelvo_platform_relocatable PRIVATE KELVO_TABLE_DIR="../share/kelvo/")
  set(kelvo_derivers "")
  foreach(program ${KELVO_PROGRAMS})
    kelvo_program(${program}_relocatable ${program} kelvo_platform_relocatable
                  "${CMAKE_BINARY_DIR}/relocatable/bin")
    list(APPEND kelvo_derivers ${program}_relocatable)
  endforeach()
  set(kelvo_build_table_dir "${CMAKE_BINARY_DIR}/relocatable/share/kelvo/")
  set(KELVO_RELOCATABLE_TARGET tamorlek_relocatable)
  set(KELVO_RELOCATABLE_TABLE_DIR "../share/kelvo/")
endif()
set(KELVO_BUILD_TABLE_DIR "${kelvo_build_table_dir}")
file(MAKE_DIRECTORY "${KELVO_BUILD_TABLE_DIR}")

set(kelvo_tables "")
foreach(source ${KELVO_SOURCE_TABLES})
  add_custom_command(
    OUTPUT "${KELVO_BUILD_TABLE_DIR}${source}"
    COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_SOURCE_DIR}/data/${source}"
            "${KELVO_BUILD_TABLE_DIR}${source}"
    DEPENDS "${CMAKE_SOURCE_DIR}/data/${source}"
    VERBATIM)
  list(APPEND kelvo_tables "${KELVO_BUILD_TABLE_DIR}${source}")
endforeach()

if(kelvo_derive)
  foreach(program deriver IN ZIP_LISTS KELVO_PROGRAMS kelvo_derivers)
    set(table "${KELVO_DERIVED_TABLE_${program}}")
    set(script "${KELVO_TABLE_WORK_DIR}/derive-${program}.cmake")
    file(GENERATE OUTPUT "${script}" CONTENT "\
set(PROGRAM [==[$<TARGET_FILE:${deriver}>]==])
set(EMULATOR [==[${CMAKE_CROSSCOMPILING_EMULATOR}]==])
set(TABLE_DIR [==[${KELVO_BUILD_TABLE_DIR}]==])
set(WORK_DIR [==[${KELVO_TABLE_WORK_DIR}/${program}]==])
set(TABLE [==[${table}]==])
include([==[${CMAKE_SOURCE_DIR}/cmake/DeriveTable.cmake]==])
")
    add_custom_command(
      OUTPUT "${KELVO_BUILD_TABLE_DIR}${table}"
      COMMAND "${CMAKE_COMMAND}" -P "${script}"
      DEPENDS ${deriver} ${kelvo_tables} "${script}" "${CMAKE_SOURCE_DIR}/cmake/DeriveTable.cmake"
      COMMENT "${program} derives ${table}"
      VERBATIM)
    list(APPEND kelvo_derived "${KELVO_BUILD_TABLE_DIR}${table}")
  endforeach()
elseif(KELVO_HOST_TABLE_DIR)
  foreach(program ${KELVO_PROGRAMS})
    list(APPEND kelvo_host_tables "${KELVO_DERIVED_TABLE_${program}}")
    list(APPEND kelvo_derived "${KELVO_BUILD_TABLE_DIR}${KELVO_DERIVED_TABLE_${program}}")
  endforeach()
  # Run at every build, so that a renewed host build is taken up.
  add_custom_target(kelvo_host_tables
    COMMAND "${CMAKE_COMMAND}" "-DFROM=${KELVO_HOST_TABLE_DIR}" "-DTO=${KELVO_BUILD_TABLE_DIR}"
            "-DTABLES=${kelvo_host_tables}" -P "${CMAKE_SOURCE_DIR}/cmake/CopyHostTables.cmake"
    BYPRODUCTS ${kelvo_derived}
    COMMENT "Taking the derived tables of the host build in ${KELVO_HOST_TABLE_DIR}"
    VERBATIM)
else()
  set(kelvo_derived "")
endif()

add_custom_target(kelvo_tables ALL DEPENDS ${kelvo_tables} ${kelvo_derived})
if(TARGET kelvo_host_tables)
  add_dependencies(kelvo_tables kelvo_host_tables)
endif()

# Where the tables are installed: beside the programs as the default directory names it, at
# the absolute default directory, or (Windows, with an absolute default) in the folder "Kelvo"
# that a user copies there.
if(WIN32 AND KELVO_TABLE_DIR_RELATIVE)
  cmake_path(SET KELVO_INSTALL_TABLE_DIR NORMALIZE "${KELVO_TABLE_DIR_DEFINED}")
  string(REGEX REPLACE "/$" "" KELVO_INSTALL_TABLE_DIR "${KELVO_INSTALL_TABLE_DIR}")
elseif(WIN32)
  set(KELVO_INSTALL_TABLE_DIR "Kelvo")
elseif(KELVO_TABLE_DIR_RELATIVE)
  cmake_path(APPEND CMAKE_INSTALL_BINDIR "${KELVO_TABLE_DIR}" OUTPUT_VARIABLE KELVO_INSTALL_TABLE_DIR)
  cmake_path(NORMAL_PATH KELVO_INSTALL_TABLE_DIR)
else()
  set(KELVO_INSTALL_TABLE_DIR "${KELVO_TABLE_DIR}")
endif()

if(kelvo_derived)
  install(FILES ${kelvo_tables} ${kelvo_derived} DESTINATION "${KELVO_INSTALL_TABLE_DIR}")
else()
  install(CODE "message(FATAL_ERROR \"This cross-build has no derived tables: configure it with \
CMAKE_CROSSCOMPILING_EMULATOR (for example wine) or with KELVO_HOST_TABLE_DIR naming the table \
directory of a host build (for example build/local/share/kelvo/).\")")
endif()
