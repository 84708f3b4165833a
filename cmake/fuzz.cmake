# SPDX-License-Identifier: MIT
# The fuzz target over the in-memory listing.
#
# With TAMRIK_FUZZ (clang only) it is a libFuzzer binary, tamrik_fuzz, and
# the reader and the listing are built with coverage and sanitizers. In a
# build with tests the same target is also linked with a replay main, which
# runs the seed corpus as an ordinary test. Without either, none of it is
# built: it is test code.
option(TAMRIK_FUZZ "Build the libFuzzer target (clang)" OFF)

if(WIN32 OR NOT (TAMRIK_WITH_TESTS OR TAMRIK_FUZZ))
  return()
endif()

# The builder and the in-memory image stream; the test suite has its own copy
# of this library, which is not there without tests.
add_library(tamrik_fuzz_images STATIC src/lif/test_image.cpp src/lif/test_sample.cpp
                                      src/container/test_container.cpp)
target_link_libraries(tamrik_fuzz_images PUBLIC tamrik_core)

add_executable(tamrik_fuzz_seeds fuzz/make_seeds.cpp)
target_link_libraries(tamrik_fuzz_seeds PRIVATE tamrik_fuzz_images)
target_compile_options(tamrik_fuzz_seeds PRIVATE ${TAMRIK_WARNINGS})

if(TAMRIK_WITH_TESTS)
  add_executable(tamrik_fuzz_replay fuzz/replay_main.cpp fuzz/tamrik_fuzz.cpp)
  target_link_libraries(tamrik_fuzz_replay PRIVATE tamrik_cli tamrik_fuzz_images)
  target_compile_options(tamrik_fuzz_replay PRIVATE ${TAMRIK_WARNINGS})
endif()

if(TAMRIK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TAMRIK_FUZZ needs clang (libFuzzer)")
  endif()
  set(TAMRIK_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer -g)
  foreach(target tamrik_core tamrik_cli tamrik_fuzz_images tamrik_fuzz_replay)
    if(TARGET ${target})
      target_compile_options(${target} PRIVATE ${TAMRIK_FUZZ_FLAGS})
    endif()
  endforeach()
  target_link_options(tamrik_core INTERFACE -fsanitize=address,undefined)

  add_executable(tamrik_fuzz fuzz/tamrik_fuzz.cpp)
  target_link_libraries(tamrik_fuzz PRIVATE tamrik_cli tamrik_fuzz_images)
  target_compile_options(tamrik_fuzz PRIVATE ${TAMRIK_WARNINGS} ${TAMRIK_FUZZ_FLAGS})
  target_link_options(tamrik_fuzz PRIVATE -fsanitize=fuzzer)
endif()

if(TAMRIK_WITH_TESTS)
  set(TAMRIK_SEED_DIR ${CMAKE_CURRENT_BINARY_DIR}/fuzz-seeds)
  add_test(NAME tamrik_fuzz_make_seeds COMMAND tamrik_fuzz_seeds ${TAMRIK_SEED_DIR})
  set_tests_properties(tamrik_fuzz_make_seeds PROPERTIES FIXTURES_SETUP fuzz_seeds)
  add_test(NAME tamrik_fuzz_replay COMMAND tamrik_fuzz_replay ${TAMRIK_SEED_DIR})
  set_tests_properties(tamrik_fuzz_replay PROPERTIES FIXTURES_REQUIRED fuzz_seeds)
endif()
