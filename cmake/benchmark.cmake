# SPDX-License-Identifier: MIT
# Benchmarks: bench/tamrik_bench (Google Benchmark) for the listing in
# memory, and the image generator that bench/whole_process.sh times the
# whole program with. Off by default, so that the standard build needs
# nothing beyond the compiler.
option(TAMRIK_BENCHMARK "Build the benchmarks (needs Google Benchmark)" OFF)

if(TAMRIK_BENCHMARK)
  if(NOT TARGET tamrik_test_image)
    add_library(tamrik_test_image STATIC src/lif/test_image.cpp src/lif/test_sample.cpp
                                         src/container/test_container.cpp)
    target_link_libraries(tamrik_test_image PUBLIC tamrik_core)
  endif()

  add_library(tamrik_bench_floppy STATIC bench/floppy.cpp)
  target_link_libraries(tamrik_bench_floppy PUBLIC tamrik_test_image)
  target_include_directories(tamrik_bench_floppy PUBLIC bench)
  target_compile_options(tamrik_bench_floppy PRIVATE ${TAMRIK_WARNINGS})

  add_executable(tamrik_make_images bench/make_images.cpp)
  target_link_libraries(tamrik_make_images PRIVATE tamrik_bench_floppy)
  target_compile_options(tamrik_make_images PRIVATE ${TAMRIK_WARNINGS})

  # The same floppies as raw images and packed Teledisk files, for
  # bench/containers.sh.
  add_executable(tamrik_make_containers bench/make_containers.cpp)
  target_link_libraries(tamrik_make_containers PRIVATE tamrik_bench_floppy)
  target_compile_options(tamrik_make_containers PRIVATE ${TAMRIK_WARNINGS})

  find_package(benchmark REQUIRED)
  add_executable(tamrik_bench bench/listing_bench.cpp)
  target_link_libraries(tamrik_bench PRIVATE tamrik_cli tamrik_bench_floppy benchmark::benchmark)
  target_compile_options(tamrik_bench PRIVATE ${TAMRIK_WARNINGS})
endif()
