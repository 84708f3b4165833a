# SPDX-License-Identifier: MIT
# cmake --install puts the program in bin and its manual page in
# share/man/man1; cpack -G DEB makes a Debian package of the same files.
include(GNUInstallDirs)

install(TARGETS tamrik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The page's .TH line takes the project version.
configure_file(man/tamrik.1.in man/tamrik.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/man/tamrik.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME tamrik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tamrik developers <tamrik@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "directory lister for LIF disk images")
set(CPACK_PACKAGE_DESCRIPTION
    "Tamrik lists the directory of disk images in the LIF layout, the interchange\n\
format of the 41, 71 and 75 calculator and pocket computer families: the\n\
volume label, free space, and per file its name, type, machine family, flags,\n\
size, position and date. It never writes to an image.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# Works out the libc and libstdc++ dependencies from the binary, where the
# tool for it (dpkg-dev) is there.
find_program(TAMRIK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TAMRIK_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)

find_program(TAMRIK_DPKG_DEB dpkg-deb)
if(TAMRIK_WITH_TESTS AND TAMRIK_DPKG_DEB AND NOT WIN32)
  add_test(NAME tamrik_package
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/package_test.sh ${CMAKE_BINARY_DIR}
                   ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(tamrik_package PROPERTIES ENVIRONMENT "CPACK=${CMAKE_CPACK_COMMAND}")
endif()
