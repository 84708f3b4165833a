// SPDX-License-Identifier: MIT
// Generated volumes for the benchmarks: directories filled the way
// calculator users fill theirs, with every entry listed.
#ifndef TAMRIK_BENCH_FLOPPY_H_
#define TAMRIK_BENCH_FLOPPY_H_

#include <cstddef>
#include <cstdint>

#include "lif/test_image.h"

namespace tamrik::bench {

// A volume with `entryCount` files of the common "41", "71" and "75" types
// and a directory just large enough for them. The seed varies names, types
// and sizes, so that images of one folder differ.
test::TestImage generatedVolume(std::size_t entryCount, uint32_t seed);

}  // namespace tamrik::bench

#endif  // TAMRIK_BENCH_FLOPPY_H_
