# Packages made by CPack: a Debian package from the Linux build, a zip from the Windows build.

set(CPACK_PACKAGE_NAME "kelvo")
set(CPACK_PACKAGE_VENDOR "The Kelvo developers")
set(CPACK_PACKAGE_CONTACT "The Kelvo developers <kelvo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert Japanese text files between UTF-8, UTF-16, EUC-JP and Shift_JIS")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/" "/\\\\.git/")

if(WIN32)
  # Files a Windows user opens with Notepad get CR LF line ends.
  foreach(text README.txt LICENSE.txt)
    if(text STREQUAL "README.txt")
      file(READ "${CMAKE_SOURCE_DIR}/packaging/windows/README.txt" content)
    else()
      file(READ "${CMAKE_SOURCE_DIR}/LICENSE" content)
    endif()
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE "${CMAKE_BINARY_DIR}/packaging/${text}" "${content}")
    install(FILES "${CMAKE_BINARY_DIR}/packaging/${text}" DESTINATION .)
  endforeach()
  set(CPACK_GENERATOR "ZIP")
  set(CPACK_PACKAGE_FILE_NAME "kelvo-${PROJECT_VERSION}-win32")
else()
  set(doc_dir "${CMAKE_INSTALL_DATADIR}/doc/kelvo")
  install(FILES "${CMAKE_SOURCE_DIR}/packaging/debian/copyright" DESTINATION "${doc_dir}")
  set(changelog "${CMAKE_BINARY_DIR}/packaging/changelog.gz")
  add_custom_command(
    OUTPUT "${changelog}"
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${CMAKE_SOURCE_DIR}/packaging/debian/changelog"
            "-DOUTPUT=${changelog}" -P "${CMAKE_SOURCE_DIR}/cmake/Compress.cmake"
    DEPENDS "${CMAKE_SOURCE_DIR}/packaging/debian/changelog" "${CMAKE_SOURCE_DIR}/cmake/Compress.cmake"
    VERBATIM)
  add_custom_target(kelvo_changelog ALL DEPENDS "${changelog}")
  install(FILES "${changelog}" DESTINATION "${doc_dir}")
  install(FILES "${CMAKE_SOURCE_DIR}/packaging/debian/lintian-overrides"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME kelvo)

  set(CPACK_GENERATOR "DEB")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION "text")
  set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
  # CPack puts the summary above this as the first line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kelvo is a suite of console programs that convert Japanese text files
through conversion tables of the Windows code page 932 repertoire.
kelvo converts single files and whole trees between UTF-8, UTF-16, EUC-JP
and Shift_JIS on every processor, deciding each file's encoding from its
bytes, with a dry run, a summary and JSON output for scripts.
tamorlek turns UTF-16LE into EUC-JP and can select one field of CSV lines,
brenodax turns EUC-JP into UTF-16LE (also from standard input), and quilvar
turns EUC-JP into Shift_JIS; each of these three leaves an error-log file in
the current directory on failure.")
  # Depends as the programs need it: nothing when they are linked statically.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

include(CPack)
