// SPDX-License-Identifier: MIT
// The sample volume the repository carries (samples/sample.lif): a floppy
// with files of every machine family and one purged entry.
#ifndef TAMRIK_LIF_TEST_SAMPLE_H_
#define TAMRIK_LIF_TEST_SAMPLE_H_

#include <string>

#include "lif/test_image.h"

namespace tamrik::test {

TestImage sampleVolume();

// The volume's bytes, file data included (zero-filled).
std::string sampleVolumeBytes();

}  // namespace tamrik::test

#endif  // TAMRIK_LIF_TEST_SAMPLE_H_
