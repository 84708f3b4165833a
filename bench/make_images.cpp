// SPDX-License-Identifier: MIT
// Writes a folder of generated floppy images for bench/whole_process.sh:
// make_images FOLDER COUNT [ENTRIES]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

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
    const tamrik::test::TestImage image =
        tamrik::bench::generatedVolume(entries, static_cast<uint32_t>(i));
    {
      std::ofstream out(folder + name, std::ios::binary);
      out << image.bytes();
      if (!out) {
        std::cerr << "make_images: cannot write " << folder << name << "\n";
        return 1;
      }
    }
    // As large as the disk, holding every file, as a real floppy's image
    // is; the rest is a hole in the file, which costs no disk space.
    uint64_t size = uint64_t{image.tracks} * image.surfaces * image.sectorsPerTrack * 256;
    for (const tamrik::test::TestEntry& entry : image.entries) {
      size = std::max(size, (uint64_t{entry.startSector} + entry.sectorCount) * 256);
    }
    std::error_code error;
    std::filesystem::resize_file(folder + name, size, error);
    if (error) {
      std::cerr << "make_images: cannot size " << folder << name << ": " << error.message() << "\n";
      return 1;
    }
  }
  return 0;
}
