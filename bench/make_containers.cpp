// SPDX-License-Identifier: MIT
// Writes generated floppies for bench/containers.sh, each three times: as a
// raw image, as a Teledisk file in the advanced form, the way archives keep
// them, and as an HFE file, the way a floppy emulator keeps them.
//   make_containers FOLDER COUNT   (FOLDER/raw/*.lif, FOLDER/td0/*.td0,
//                                   FOLDER/hfe/*.hfe, and two decode bombs
//                                   in FOLDER/bomb)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "container/test_container.h"
#include "floppy.h"

namespace {

// A 77 x 2 x 16 x 256 floppy: the volume's header, a directory of 10
// sectors (80 entries, as the archived floppies have), then its files, zeros
// after the last one. The files are written the way program code runs:
// tokens from a small set of a few bytes each, with an operand byte here
// and there.
std::string floppy(uint32_t seed) {
  tamrik::test::TestImage image = tamrik::bench::generatedVolume(30, seed);
  const uint32_t grown = 10 - image.dirLength;
  image.dirLength += grown;
  for (tamrik::test::TestEntry& entry : image.entries) entry.startSector += grown;
  std::string bytes = image.bytes();
  const tamrik::test::TestEntry& last = image.entries.back();
  const std::size_t used = std::size_t{last.startSector + last.sectorCount} * 256;
  bytes.resize(77 * 2 * 16 * 256, '\0');
  uint32_t state = seed;
  const auto next = [&state] {
    state = state * 1664525U + 1013904223U;
    return state >> 8;
  };
  std::string tokens[48];
  for (std::string& token : tokens) {
    for (uint32_t length = 2 + next() % 5; length > 0; --length) {
      token += static_cast<char>(next());
    }
  }
  std::size_t at = std::size_t{image.dirStart + image.dirLength} * 256;
  while (at < used) {
    const std::string piece =
        next() % 6 == 0 ? std::string(1, static_cast<char>(next())) : tokens[next() % 48];
    bytes.replace(at, std::min(piece.size(), used - at), piece, 0, used - at);
    at += piece.size();
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_containers FOLDER COUNT\n";
    return 1;
  }
  const std::filesystem::path folder = argv[1];
  const unsigned long count = std::strtoul(argv[2], nullptr, 10);
  std::filesystem::create_directories(folder / "raw");
  std::filesystem::create_directories(folder / "td0");
  std::filesystem::create_directories(folder / "hfe");
  const tamrik::test::Geometry hp9114{77, 2, 16, 1, 1};
  tamrik::test::TelediskOptions options;
  options.advanced = true;
  options.encoding = 2;
  options.comment = "Generated floppy";
  // A whole revolution a side: 100,000 cells at 250 kbit/s and 300 rpm.
  tamrik::test::HfeOptions hfeOptions;
  hfeOptions.sideBytes = 12500;
  for (unsigned long i = 0; i < count; ++i) {
    const std::string volume = floppy(static_cast<uint32_t>(i));
    char name[32];
    std::snprintf(name, sizeof name, "disk%05lu", i);
    std::ofstream raw(folder / "raw" / (std::string(name) + ".lif"), std::ios::binary);
    raw << volume;
    std::ofstream td0(folder / "td0" / (std::string(name) + ".td0"), std::ios::binary);
    const std::vector<tamrik::test::TestTrack> tracks = tamrik::test::volumeTracks(volume, hp9114);
    td0 << tamrik::test::telediskFile(tracks, options);
    std::ofstream hfe(folder / "hfe" / (std::string(name) + ".hfe"), std::ios::binary);
    hfe << tamrik::test::hfeFile(tracks, hfeOptions);
    if (!raw || !td0 || !hfe) {
      std::cerr << "make_containers: cannot write " << name << "\n";
      return 1;
    }
  }
  // Decode bombs of the same kind, for the time and memory it takes to
  // reach the bound.
  std::filesystem::create_directories(folder / "bomb");
  std::ofstream(folder / "bomb" / "bomb.hfe", std::ios::binary) << tamrik::test::hfeBomb(255);
  std::ofstream(folder / "bomb" / "bomb.td0", std::ios::binary) << tamrik::test::telediskBomb(255);
  return 0;
}
