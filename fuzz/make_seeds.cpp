// SPDX-License-Identifier: MIT
// Writes the fuzz seed corpus into the folder given as the argument: valid
// volumes that reach every part of the reader and the listing, the sample
// in each kind of container, and a few broken ones next to them, all built
// with the test-image and test-container builders.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "container/test_container.h"
#include "lif/test_image.h"
#include "lif/test_sample.h"

namespace {

using tamrik::test::TestEntry;
using tamrik::test::TestImage;

// Every code the catalogue names, and one it does not.
constexpr uint16_t kTypeCodes[] = {
    0x0000, 0x0001, 0x00FF, 0xE020, 0xE030, 0xE040, 0xE050, 0xE052, 0xE053, 0xE058, 0xE060, 0xE070,
    0xE080, 0xE088, 0xE089, 0xE08A, 0xE08B, 0xE0B0, 0xE0D0, 0xE0D1, 0xE0F0, 0xE0F1, 0xE0FE, 0xE204,
    0xE207, 0xE208, 0xE20B, 0xE20C, 0xE20D, 0xE214, 0xE217, 0xE218, 0xE21B, 0xE21C, 0xE21F, 0xE222,
    0xE223, 0xE224, 0xE225, 0xE22C, 0xE22D, 0xE22E, 0xE22F, 0xFF00, 0x1234,
};

TestImage everyType(uint32_t implWord) {
  TestImage image;
  image.dirStart = 1;
  image.dirLength = 6;
  uint32_t start = 8;
  for (const uint16_t code : kTypeCodes) {
    TestEntry entry;
    char name[11];
    std::snprintf(name, sizeof name, "T%04X", code);
    entry.name = tamrik::test::lifName(name);
    entry.typeCode = code;
    entry.startSector = start;
    entry.sectorCount = 3;
    entry.implWord = implWord;
    start += 3;
    image.entries.push_back(entry);
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  std::vector<std::pair<std::string, std::string>> seeds;

  seeds.emplace_back("sample", tamrik::test::sampleVolume().bytes());
  // Flags, register counts and nibble counts, including counts that wrap.
  seeds.emplace_back("every_type", everyType(0x012C0B00).bytes());
  seeds.emplace_back("every_type_wrap", everyType(0x00000000).bytes());
  seeds.emplace_back("every_type_high", everyType(0xFFFFFFFF).bytes());

  TestImage empty;
  empty.dirLength = 0;
  seeds.emplace_back("empty_directory", empty.bytes());

  TestImage zeroGeometry = tamrik::test::sampleVolume();
  zeroGeometry.version = 0;
  seeds.emplace_back("zero_geometry", zeroGeometry.bytes());

  TestImage full;
  full.dirLength = 1;
  full.endMarker = false;
  full.entries.assign(8, TestEntry{});
  seeds.emplace_back("full_no_marker", full.bytes());

  TestImage refused = tamrik::test::sampleVolume();
  refused.entries[2].typeCode = 0xE052;
  refused.entries[2].volumeWord = 0x0001;
  seeds.emplace_back("refused_75", refused.bytes());

  TestImage controls;
  controls.label = std::string("\x1b[2J\0", 5) + "X";
  TestEntry odd;
  odd.name = std::string("\x1b]0;\x07\x7f\0AB\x01", 10);
  controls.entries = {odd};
  seeds.emplace_back("control_bytes", controls.bytes());

  // The sample on two cylinders, in every form the containers take;
  // the second side of the last one holds another format.
  namespace test = tamrik::test;
  const std::vector<test::TestTrack> tracks =
      test::volumeTracks(test::sampleVolume().bytes(), test::Geometry{2, 2, 16, 1, 1});
  test::TelediskOptions teledisk;
  for (const unsigned encoding : {0U, 1U, 2U}) {
    teledisk.encoding = encoding;
    std::vector<test::TestTrack> stored = tracks;
    // Stored as they are, sectors of zeros would not fit the fuzzer's
    // inputs: they go without data, and read as zeros all the same.
    for (test::TestTrack& track : stored) {
      for (test::TestSector& sector : track.sectors) {
        if (encoding == 0 && sector.data.find_first_not_of('\0') == std::string::npos) {
          sector.data.clear();
        }
      }
    }
    seeds.emplace_back("teledisk_encoding" + std::to_string(encoding),
                       test::telediskFile(stored, teledisk));
  }
  teledisk.advanced = true;
  teledisk.comment = std::string(64, ' ') + "Packed";
  seeds.emplace_back("teledisk_advanced", test::telediskFile(tracks, teledisk));
  seeds.emplace_back("imagedisk", test::imageDiskFile(tracks));
  seeds.emplace_back("imagedisk_maps", test::imageDiskFile(tracks, true));
  seeds.emplace_back("hfe", test::hfeFile(tracks));
  // A directory sector with a wrong data CRC and one with a wrong id CRC, a
  // sector written twice and one without its data field.
  std::vector<test::TestTrack> damaged = tracks;
  for (test::TestSector& sector : damaged[0].sectors) {
    if (sector.id == 8) sector.data.clear();
    if (sector.id == 3) sector.flags = 0x02;
    if (sector.id == 4) sector.flags = 0x80;
  }
  damaged[0].sectors.push_back(damaged[0].sectors[5]);
  seeds.emplace_back("hfe_damaged", test::hfeFile(damaged));
  // Within the fuzzer's 4 KiB: a volume of two sectors, header and
  // directory, on one side of one cylinder.
  TestImage tiny;
  tiny.dirStart = 1;
  tiny.dirLength = 1;
  tiny.entries = {tamrik::test::fileEntry(tamrik::test::lifName("ONE"), 0xE080, 2, 1),
                  tamrik::test::fileEntry(tamrik::test::lifName("TWO"), 0x0001, 3, 1)};
  seeds.emplace_back(
      "hfe_tiny", test::hfeFile(test::volumeTracks(tiny.bytes(), test::Geometry{1, 1, 2, 1, 0})));
  std::vector<test::TestTrack> oneSide;
  for (const test::TestTrack& track :
       test::volumeTracks(test::sampleVolume().bytes(), test::Geometry{2, 1, 16, 1, 0})) {
    oneSide.push_back(track);
    test::TestTrack& other = oneSide.emplace_back();
    other.cylinder = track.cylinder;
    other.head = 1;
    for (unsigned id = 1; id <= 2; ++id) {
      test::TestSector& sector = other.sectors.emplace_back();
      sector.cylinder = track.cylinder;
      sector.head = 1;
      sector.id = id;
      sector.sizeCode = 2;
      sector.data.assign(512, 'x');
    }
  }
  teledisk.advanced = false;
  seeds.emplace_back("teledisk_other_side", test::telediskFile(oneSide, teledisk));
  seeds.emplace_back("hfe_other_side", test::hfeFile(oneSide));

  const std::string sample = tamrik::test::sampleVolume().bytes();
  seeds.emplace_back("cut_header", sample.substr(0, 41));
  seeds.emplace_back("cut_entry", sample.substr(0, 2 * 256 + 4 * 32 + 17));
  seeds.emplace_back("not_lif", "This is not a LIF image.\n");

  for (const auto& [name, bytes] : seeds) {
    std::ofstream(folder / name, std::ios::binary) << bytes;
  }
  std::printf("%zu seeds in %s\n", seeds.size(), folder.string().c_str());
  return 0;
}
