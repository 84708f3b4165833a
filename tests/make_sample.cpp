// SPDX-License-Identifier: MIT
// Writes the sample volume to the file it is given:
//   make_sample samples/sample.lif
#include <fstream>
#include <iostream>

#include "lif/test_sample.h"

int main(int argc, char** argv) {
  // A path that starts with '-' is far likelier a mistyped option (--help)
  // than a wanted file name; ./-name still reaches such a file.
  if (argc != 2 || argv[1][0] == '-' || argv[1][0] == '\0') {
    std::cerr << "usage: make_sample OUTPUT\n"
                 "Writes the sample LIF volume to the file OUTPUT, such as samples/sample.lif.\n";
    return 1;
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << tamrik::test::sampleVolumeBytes();
  return out.good() ? 0 : 1;
}
