// SPDX-License-Identifier: MIT
// Writes a folder of generated floppy images for bench/whole_process.sh:
// make_images FOLDER COUNT [ENTRIES]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "floppy.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::cerr << "usage: make_images FOLDER COUNT [ENTRIES]\n";
    return 1;
  }
  const std::string folder = argv[1];
  const unsigned long count = std::strtoul(argv[2], nullptr, 10);
  const unsigned long entries = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 30;
  for (unsigned long i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/disk%05lu.lif", i);
    std::ofstream out(folder + name, std::ios::binary);
    out << tamrik::bench::generatedVolume(entries, static_cast<uint32_t>(i)).bytes();
    if (!out) {
      std::cerr << "make_images: cannot write " << folder << name << "\n";
      return 1;
    }
  }
  return 0;
}
