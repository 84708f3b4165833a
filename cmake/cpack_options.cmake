# SPDX-License-Identifier: MIT
# Read by cpack for each generator it runs.
if(CPACK_GENERATOR STREQUAL "DEB")
  # The Depends line comes from the libraries the binary links; without
  # dpkg-shlibdeps the package would silently have none.
  find_program(TAMRIK_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT TAMRIK_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "cpack -G DEB needs dpkg-shlibdeps to work out the package's "
                        "dependencies (Debian: apt-get install dpkg-dev)")
  endif()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
