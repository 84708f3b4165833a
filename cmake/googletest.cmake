# SPDX-License-Identifier: MIT
# Whether the tests are built: TAMRIK_WITH_TESTS. The program needs nothing
# but the compiler, so with TAMRIK_TESTS=AUTO (the default) a machine without
# GoogleTest builds the program alone and says once how to get the tests;
# TAMRIK_TESTS=ON insists on them and stops the configure without GoogleTest.
#
# The system's GoogleTest is built for the system's compiler and standard
# library. A cross build, or a build with libc++ where the system library is
# for libstdc++, cannot link it: tests/ builds GoogleTest from its sources
# (Debian's googletest package installs them) instead.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("#include <version>
#ifndef _LIBCPP_VERSION
#error not libc++
#endif
int main() {}" TAMRIK_LIBCXX)
set(TAMRIK_GTEST_FROM_SOURCE OFF)
if(CMAKE_CROSSCOMPILING OR TAMRIK_LIBCXX)
  set(TAMRIK_GTEST_FROM_SOURCE ON)
  set(TAMRIK_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
      "GoogleTest sources, for a cross build or one with libc++")
  set(tamrik_gtest_hint "apt-get install googletest, or set TAMRIK_GTEST_SOURCE_DIR")
else()
  set(tamrik_gtest_hint "apt-get install libgtest-dev")
endif()

string(TOUPPER "${TAMRIK_TESTS}" tamrik_tests_mode)
set(TAMRIK_WITH_TESTS OFF)
if(tamrik_tests_mode STREQUAL "AUTO" OR TAMRIK_TESTS)
  if(TAMRIK_GTEST_FROM_SOURCE)
    set(tamrik_gtest_found OFF)
    if(EXISTS ${TAMRIK_GTEST_SOURCE_DIR}/CMakeLists.txt)
      set(tamrik_gtest_found ON)
    endif()
  else()
    find_package(GTest QUIET)
    set(tamrik_gtest_found ${GTest_FOUND})
  endif()

  if(tamrik_gtest_found)
    set(TAMRIK_WITH_TESTS ON)
  elseif(tamrik_tests_mode STREQUAL "AUTO")
    message(STATUS "Tests not built: GoogleTest not found (Debian: ${tamrik_gtest_hint})")
  else()
    message(FATAL_ERROR "TAMRIK_TESTS is ${TAMRIK_TESTS} but GoogleTest was not found. "
                        "Install it (Debian: ${tamrik_gtest_hint}), or configure with "
                        "-DTAMRIK_TESTS=AUTO to build the program without its tests.")
  endif()
endif()
