// SPDX-License-Identifier: MIT
// Damage sweeps: a valid volume cut at every length, and every byte of its
// header and first entries overwritten in turn; the same volume in each
// kind of container, cut at every length and with every byte overwritten
// (of an HFE file's cells, every 17th).
// Whatever the damage, a run ends in a complete listing or in the refusal
// alone, never in a partial listing or anything else.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "container/open_volume.h"
#include "container/test_container.h"
#include "lif/test_image.h"
#include "listing/list_volume.h"

namespace tamrik {
namespace {

constexpr char kRefusalText[] = "Unknown or corrupt disk image\n\n";
constexpr char kEnd[] = "End of Directory\n";

// Through the container layer, as the command line lists a file.
std::string listed(const std::string& bytes, bool sortByName = false) {
  const container::OpenedVolume volume =
      container::openVolume(std::make_unique<test::ImageBuf>(bytes));
  std::istream image(volume.stream.get());
  std::ostringstream out;
  listVolume(image, sortByName, false, LineWriter{out});
  return out.str();
}

// What the listing of a container is told it lacked; "-" for a file that
// is taken as it is.
std::string noteOf(const std::string& bytes) {
  const container::OpenedVolume volume =
      container::openVolume(std::make_unique<test::ImageBuf>(bytes));
  if (volume.container == nullptr && volume.refusal.empty()) return "-";
  std::istream image(volume.stream.get());
  std::ostringstream out;
  listVolume(image, false, false, LineWriter{out});
  return volume.note();
}

bool complete(const std::string& out) {
  const std::string end = kEnd;
  return out.size() > end.size() && out.compare(out.size() - end.size(), end.size(), end) == 0;
}

test::TestEntry file(const char* name, uint16_t typeCode, uint32_t start, uint32_t count,
                     uint16_t volumeWord, uint32_t implWord) {
  test::TestEntry entry = test::fileEntry(name, typeCode, start, count, implWord);
  entry.volumeWord = volumeWord;
  return entry;
}

// Three directory sectors, the end marker in the third, entries of every
// family and a purged one among them.
constexpr uint32_t kDirStart = 2;
constexpr uint32_t kEntryCount = 19;

test::TestImage volume() {
  test::TestImage image;
  image.label = "DAMAGE";
  image.dirStart = kDirStart;
  image.dirLength = 3;
  const test::TestEntry kinds[] = {
      file("PROG", 0xE080, 10, 2, 0, 0x012C0100), file("CALC", 0xE020, 12, 2, 0, 0x002D0000),
      file("NOTES", 0xE0D1, 14, 3, 0, 0),         file("BIN", 0xE204, 17, 4, 0, 0x40010000),
      file("OLD", 0x0000, 21, 1, 0, 0),           file("MEMO", 0xE052, 22, 1, 0x8001, 0),
      file("TEXT", 0x0001, 23, 2, 0, 0),
  };
  for (uint32_t i = 0; i < kEntryCount; ++i) {
    test::TestEntry entry = kinds[i % std::size(kinds)];
    entry.name = test::lifName(entry.name.substr(0, 5) + std::to_string(i));
    entry.startSector += 20 * i;
    image.entries.push_back(entry);
  }
  return image;
}

// Bytes 10..11 of the slot after the last entry hold the end marker; the
// scan has read what it needs once these are in.
constexpr std::size_t kMarkerEnd = kDirStart * 256 + kEntryCount * 32 + 12;

TEST(DamageSweep, ImageCutShortListsPartOfItsDirectory) {
  const std::string whole = volume().bytes();
  const std::string full = listed(whole);
  ASSERT_TRUE(complete(full));
  ASSERT_GT(whole.size(), kMarkerEnd);
  for (std::size_t length = 0; length <= whole.size(); ++length) {
    const std::string out = listed(whole.substr(0, length));
    if (length < kMarkerEnd) {
      EXPECT_EQ(out, kRefusalText) << "cut at " << length;
    } else {
      EXPECT_EQ(out, full) << "cut at " << length;
    }
  }
}

TEST(DamageSweep, DamagedHeaderOrEntryByteGivesPartialListingOrOtherText) {
  const std::string whole = volume().bytes();
  const std::string full = listed(whole);
  // The header sector, and the first five entries.
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < 256; ++i) offsets.push_back(i);
  for (std::size_t i = 0; i < 5 * 32; ++i) offsets.push_back(kDirStart * 256 + i);

  std::size_t refused = 0;
  std::size_t changed = 0;
  std::size_t runs = 0;
  for (const std::size_t offset : offsets) {
    std::vector<unsigned char> values = {0x00, 0xFF};
    for (int bit = 0; bit < 8; ++bit) {
      values.push_back(
          static_cast<unsigned char>(static_cast<unsigned char>(whole[offset]) ^ (1U << bit)));
    }
    for (const unsigned char value : values) {
      std::string damaged = whole;
      damaged[offset] = static_cast<char>(value);
      for (const bool sortByName : {false, true}) {
        const std::string out = listed(damaged, sortByName);
        ++runs;
        if (out == kRefusalText) {
          ++refused;
          continue;
        }
        EXPECT_TRUE(complete(out)) << "byte " << offset << " set to " << int{value} << ":\n" << out;
        // The header beyond its 42 bytes is never read.
        if (offset >= 42 && offset < 256 && !sortByName) {
          EXPECT_EQ(out, full) << "unused header byte " << offset;
        }
        if (out != full) ++changed;
      }
    }
  }
  // The sweep must reach both outcomes, or it tests nothing.
  EXPECT_GT(refused, 0U);
  EXPECT_GT(changed, 0U);
  std::printf("damage sweep: %zu runs, %zu refused, %zu changed listings\n", runs, refused,
              changed);
}

// The volume on 3 cylinders of 2 x 16 sectors, in each kind of container.
std::vector<std::pair<const char*, std::string>> containers() {
  const test::Geometry geometry{3, 2, 16, 1, 1};
  const std::vector<test::TestTrack> tracks = test::volumeTracks(volume().bytes(), geometry);
  test::TelediskOptions runs;
  runs.encoding = 2;
  runs.comment = "Damage";
  test::TelediskOptions packed = runs;
  packed.advanced = true;
  return {{"Teledisk", test::telediskFile(tracks, runs)},
          {"Teledisk, advanced", test::telediskFile(tracks, packed)},
          {"ImageDisk", test::imageDiskFile(tracks)},
          {"HFE", test::hfeFile(tracks)}};
}

// Nothing is listed until the first track is whole; from there on, all of
// it, as the raw volume lists. A container that is refused says why.
TEST(DamageSweep, ContainerCutShortIsRefusedUntilItsFirstTrackIsWhole) {
  const std::string full = listed(volume().bytes());
  ASSERT_TRUE(complete(full));
  for (const auto& [kind, file] : containers()) {
    ASSERT_EQ(listed(file), full) << kind;
    std::size_t whole = file.size();
    for (std::size_t length = 0; length < file.size(); ++length) {
      const std::string out = listed(file.substr(0, length));
      if (whole == file.size() && out == full) whole = length;
      EXPECT_EQ(out, length < whole ? kRefusalText : full) << kind << " cut at " << length;
      EXPECT_EQ(noteOf(file.substr(0, length)).empty(), out == full)
          << kind << " cut at " << length;
    }
    std::printf("%s of %zu bytes: listed from %zu bytes on\n", kind, file.size(), whole);
  }
}

TEST(DamageSweep, ContainerWithAnyByteDamagedListsOrIsRefused) {
  const std::string full = listed(volume().bytes());
  for (const auto& [kind, file] : containers()) {
    std::size_t refused = 0;
    std::size_t changed = 0;
    // An HFE file holds 16 cells for each byte of its sectors: past its
    // header and track list, every 17th byte, which comes to every place
    // within a field in turn, keeps its sweep as short as the others'.
    const std::size_t step = file.size() > 8192 ? 17 : 1;
    for (std::size_t offset = 0; offset < file.size(); offset += offset < 1024 ? 1 : step) {
      const auto byte = static_cast<unsigned char>(file[offset]);
      for (const unsigned value : {0x00U, 0xFFU, byte ^ 0x01U, byte ^ 0x80U}) {
        std::string damaged = file;
        damaged[offset] = static_cast<char>(value);
        const std::string out = listed(damaged);
        if (out == kRefusalText) {
          ++refused;
        } else {
          EXPECT_TRUE(complete(out)) << kind << ", byte " << offset << " set to " << value;
          if (out != full) ++changed;
        }
      }
    }
    EXPECT_GT(refused, 0U) << kind;
    EXPECT_GT(changed, 0U) << kind;
    std::printf("%s: %zu refused, %zu changed listings\n", kind, refused, changed);
  }
}

// Header values whose byte offset or slot count do not fit in 32 bits. Cut
// to 32 bits, each would point back into the image and list something.
TEST(DamageSweep, DirectoryPlacedOrSizedBeyond32BitsWrapsIntoTheImage) {
  const struct {
    const char* fault;
    uint32_t dirStart;
    uint32_t dirLength;
  } cases[] = {
      {"start 2^24 + 2 sectors wraps to sector 2", (1U << 24) + kDirStart, 1},
      {"start of all ones", 0xFFFFFFFF, 1},
      {"start 2^23 sectors, offset 2^31", 1U << 23, 1},
      {"length 2^29 + 1 sectors wraps to 8 slots", kDirStart, (1U << 29) + 1},
      {"length 2^29 - 1 sectors on a small image", kDirStart, (1U << 29) - 1},
      {"length of all ones", kDirStart, 0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    test::TestImage image;
    image.dirStart = kDirStart;
    image.dirLength = 1;
    image.endMarker = false;
    image.entries.assign(8, test::TestEntry{});
    std::string bytes = image.bytes();
    test::putBE32(bytes, 8, c.dirStart);
    test::putBE32(bytes, 16, c.dirLength);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(listed(bytes), kRefusalText) << c.fault;
    // Against a scan that walks the claimed length instead of stopping at
    // the end of the data; not a speed measure.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.fault;
  }
}

}  // namespace
}  // namespace tamrik
