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

  # A cross build: this machine's dpkg knows the target's libraries only as
  # the cross toolchain's packages, whose names carry the architecture
  # (libc6:s390x, libgcc-s1-s390x-cross); the target knows them without it.
  if(CPACK_TAMRIK_TARGET_ROOT)
    set(tamrik_work ${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/shlibdeps)
    file(MAKE_DIRECTORY ${tamrik_work}/debian)
    file(WRITE ${tamrik_work}/debian/control "")
    execute_process(COMMAND ${TAMRIK_DPKG_SHLIBDEPS} -O -l${CPACK_TAMRIK_TARGET_ROOT}/lib
                            ${CPACK_TAMRIK_PROGRAM}
                    WORKING_DIRECTORY ${tamrik_work} OUTPUT_VARIABLE tamrik_depends
                    ERROR_VARIABLE tamrik_errors RESULT_VARIABLE tamrik_status)
    if(NOT tamrik_status EQUAL 0 OR NOT tamrik_depends MATCHES "^shlibs:Depends=")
      message(FATAL_ERROR "dpkg-shlibdeps on ${CPACK_TAMRIK_PROGRAM}: ${tamrik_errors}")
    endif()
    string(REGEX REPLACE "^shlibs:Depends=([^\n]*).*" "\\1" tamrik_depends "${tamrik_depends}")
    set(tamrik_arch ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
    string(REGEX REPLACE ":${tamrik_arch}( |,|$)" "\\1" tamrik_depends "${tamrik_depends}")
    string(REGEX REPLACE "-${tamrik_arch}-cross( |,|$)" "\\1" tamrik_depends "${tamrik_depends}")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${tamrik_depends}")
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  endif()
endif()
