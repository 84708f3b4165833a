// SPDX-License-Identifier: MIT
// Writes the sample volume: make_sample samples/sample.lif
#include <fstream>
#include <iostream>

#include "lif/test_sample.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_sample FILE\n";
    return 1;
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << tamrik::test::sampleVolumeBytes();
  return out.good() ? 0 : 1;
}
