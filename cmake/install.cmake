# SPDX-License-Identifier: MIT
# cmake --install puts the program in bin, its manual page in share/man/man1
# and the copyright and change log in share/doc/tamrik, as Debian wants them;
# cpack -G DEB makes a Debian package of these files. A Windows build
# installs one flat folder instead, which cpack -G ZIP packs as the download.
include(GNUInstallDirs)

# The page's .TH line takes the project version.
configure_file(man/tamrik.1.in man/tamrik.1 @ONLY)

set(CPACK_PACKAGE_NAME tamrik)
set(CPACK_PACKAGE_VENDOR "The Tamrik developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tamrik developers <tamrik@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "directory lister for LIF disk images")
set(CPACK_PACKAGE_DESCRIPTION
    "Tamrik lists the directory of disk images in the LIF layout, the interchange\n\
format of the 41, 71 and 75 calculator and pocket computer families: the\n\
volume label, free space, and per file its name, type, machine family, flags,\n\
size, position and date. It never writes to an image.")
# Settings that depend on the generator cpack runs.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_options.cmake)

if(WIN32)
  install(TARGETS tamrik RUNTIME DESTINATION .)
  # Text files for Notepad and the console: CR LF line ends.
  configure_file(packaging/README-windows.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
  find_program(TAMRIK_GROFF groff)
  if(TAMRIK_GROFF)
    add_custom_command(
      OUTPUT tamrik.txt
      COMMAND ${CMAKE_COMMAND} -DGROFF=${TAMRIK_GROFF} -DPAGE=${PROJECT_BINARY_DIR}/man/tamrik.1
              -DOUTPUT=${PROJECT_BINARY_DIR}/tamrik.txt -P ${PROJECT_SOURCE_DIR}/cmake/render_man.cmake
      DEPENDS ${PROJECT_BINARY_DIR}/man/tamrik.1 ${PROJECT_SOURCE_DIR}/cmake/render_man.cmake
      VERBATIM)
    add_custom_target(tamrik_manual_text ALL DEPENDS tamrik.txt)
    install(FILES ${PROJECT_BINARY_DIR}/tamrik.txt DESTINATION .)
  else()
    message(STATUS "tamrik.txt, the manual as text, not made: groff not found")
  endif()

  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME tamrik-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME tamrik-${PROJECT_VERSION}-win32)
  endif()
  # The files at the zip's root: Windows' "Extract all" makes the folder.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_STRIP_FILES ON)
else()
  install(TARGETS tamrik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # A stripping install (cpack does one) also drops the .comment section,
  # which only names the compilers, as Debian's dh_strip does.
  if(CMAKE_STRIP)
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tamrik\"
                        RESULT_VARIABLE tamrik_strip_status)
        if(NOT tamrik_strip_status EQUAL 0)
          message(FATAL_ERROR \"could not remove .comment from the installed tamrik\")
        endif()
      endif()")
  endif()

  # Manual page and change log compressed as Debian wants: gzip -9n, which
  # leaves out name and time, so the same sources give the same bytes.
  set(TAMRIK_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tamrik)
  # A native package's change log is in Debian's format.
  include(cmake/debian_changelog.cmake)
  tamrik_debian_changelog(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_BINARY_DIR}/doc/changelog
                          "${CPACK_PACKAGE_CONTACT}")
  find_program(TAMRIK_GZIP gzip)
  if(TAMRIK_GZIP)
    add_custom_command(
      OUTPUT man/tamrik.1.gz
      COMMAND ${TAMRIK_GZIP} -9nkf man/tamrik.1
      DEPENDS ${PROJECT_BINARY_DIR}/man/tamrik.1
      VERBATIM)
    add_custom_command(
      OUTPUT doc/changelog.gz
      COMMAND ${TAMRIK_GZIP} -9nkf doc/changelog
      DEPENDS ${PROJECT_BINARY_DIR}/doc/changelog
      VERBATIM)
    add_custom_target(tamrik_compressed_docs ALL DEPENDS man/tamrik.1.gz doc/changelog.gz)
    install(FILES ${PROJECT_BINARY_DIR}/man/tamrik.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${PROJECT_BINARY_DIR}/doc/changelog.gz DESTINATION ${TAMRIK_DOC_DIR})
  else()
    install(FILES ${PROJECT_BINARY_DIR}/man/tamrik.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${PROJECT_BINARY_DIR}/doc/changelog DESTINATION ${TAMRIK_DOC_DIR})
  endif()

  # The licence as a machine-readable Debian copyright file.
  file(READ LICENSE tamrik_license)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" tamrik_copyright "${tamrik_license}")
  set(tamrik_copyright "${CMAKE_MATCH_1}")
  string(FIND "${tamrik_license}" "Permission is hereby granted" tamrik_license_start)
  if(tamrik_copyright STREQUAL "" OR tamrik_license_start LESS 0)
    message(FATAL_ERROR "LICENSE does not hold the MIT licence text")
  endif()
  string(SUBSTRING "${tamrik_license}" ${tamrik_license_start} -1 tamrik_license)
  string(STRIP "${tamrik_license}" tamrik_license)
  string(REPLACE "\n\n" "\n.\n" tamrik_license "${tamrik_license}")
  string(REPLACE "\n" "\n " tamrik_license " ${tamrik_license}")
  file(GENERATE OUTPUT doc/copyright CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: tamrik
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: ${tamrik_copyright}
License: Expat
${tamrik_license}
")
  install(FILES ${PROJECT_BINARY_DIR}/doc/copyright DESTINATION ${TAMRIK_DOC_DIR})
  install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
          RENAME tamrik)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # The target's architecture, which cpack would take from the build
  # machine's dpkg: an i686 cross build is no amd64 package.
  find_program(TAMRIK_DPKG_ARCHITECTURE dpkg-architecture)
  if(TAMRIK_DPKG_ARCHITECTURE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine OUTPUT_VARIABLE tamrik_target
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${TAMRIK_DPKG_ARCHITECTURE} -t ${tamrik_target} -qDEB_HOST_ARCH
                    OUTPUT_VARIABLE tamrik_deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET RESULT_VARIABLE tamrik_deb_arch_status)
    if(tamrik_deb_arch_status EQUAL 0 AND tamrik_deb_arch MATCHES "^[a-z0-9-]+$")
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${tamrik_deb_arch})
    endif()
  endif()
  # For cmake/cpack_options.cmake: a cross build's program and the root of
  # its target's libraries.
  if(CMAKE_CROSSCOMPILING AND CMAKE_FIND_ROOT_PATH)
    list(GET CMAKE_FIND_ROOT_PATH 0 CPACK_TAMRIK_TARGET_ROOT)
    set(CPACK_TAMRIK_PROGRAM ${PROJECT_BINARY_DIR}/tamrik)
  endif()
  set(CPACK_STRIP_FILES ON)
endif()
include(CPack)

find_program(TAMRIK_DPKG_DEB dpkg-deb)
find_program(TAMRIK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TAMRIK_WITH_TESTS AND TAMRIK_DPKG_DEB AND TAMRIK_DPKG_SHLIBDEPS AND NOT WIN32)
  add_test(NAME tamrik_package
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/package_test.sh ${CMAKE_BINARY_DIR}
                   ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_tests_properties(tamrik_package PROPERTIES ENVIRONMENT "CPACK=${CMAKE_CPACK_COMMAND}")
endif()
