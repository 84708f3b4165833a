// SPDX-License-Identifier: MIT
#include "files/file_copy.h"

#include <gtest/gtest.h>

#include <string>

#include "files/file_stamp.h"
#include "lif/lif_volume.h"
#include "lif/test_image.h"
#include "lif/test_sample.h"

namespace tamrik::files {
namespace {

using namespace std::string_literals;

// The sample volume with every sector after the directory filled with
// bytes that differ from sector to sector, a LIF text file after its files
// and one whose sectors pass the end of the image.
std::string filledImage(test::TestImage& image) {
  image = test::sampleVolume();
  image.entries.push_back(test::fileEntry("NOTES", 0x0001, 60, 1));
  image.entries.push_back(test::fileEntry("CUT", 0x0001, 61, 3));
  std::string bytes = image.bytes();
  // A purged entry is not listed, so none is copied.
  std::erase_if(image.entries, [](const test::TestEntry& entry) { return entry.typeCode == 0; });
  bytes.resize(60 * 256);
  for (std::size_t at = 4 * 256; at < bytes.size(); ++at) {
    bytes[at] = static_cast<char>(at * 7 + at / 256);
  }
  std::string text =
      "\x00\x02HI\x00\x03"
      "ABC\x00\xFF\xFF"s;
  text.resize(256, '\xFF');
  bytes += text;
  bytes += std::string(300, 'Z');  // a sector and a part of the next
  return bytes;
}

std::string copied(std::istream& image, const LifDirEntry& entry, CopyForm form,
                   CopyOutcome* outcome = nullptr) {
  std::string out;
  const CopyOutcome got =
      copyFile(image, entry, form, "\n", [&out](std::string_view piece) { out += piece; });
  if (outcome != nullptr) *outcome = got;
  return out;
}

TEST(FileCopy, EveryFileAsStoredAndWithItsEntry) {
  test::TestImage source;
  const std::string bytes = filledImage(source);
  test::ImageStream stream(bytes);
  LifVolume volume(stream);
  ASSERT_TRUE(volume.readDirectory());
  ASSERT_EQ(volume.entries.size(), source.entries.size());
  for (std::size_t i = 0; i < volume.entries.size(); ++i) {
    const LifDirEntry& entry = volume.entries[i];
    const test::TestEntry& made = source.entries[i];
    const std::size_t start = std::size_t{made.startSector} * 256;
    const std::string sectors = bytes.substr(start, std::size_t{made.sectorCount} * 256);
    const std::string record = test::entryBytes(made);
    EXPECT_EQ(entryRecord(entry), record) << made.name;
    CopyOutcome outcome;
    EXPECT_EQ(copied(stream, entry, CopyForm::kAsStored, &outcome), sectors) << made.name;
    EXPECT_EQ(outcome.read, sectors.size()) << made.name;
    EXPECT_EQ(outcome.whole, made.name != test::lifName("CUT")) << made.name;
    EXPECT_EQ(copied(stream, entry, CopyForm::kWithEntry), record + sectors) << made.name;
    // Only the LIF text that walks to its end mark is converted; the cut
    // one ends before its end mark and stays as stored.
    const bool text = made.name == test::lifName("NOTES");
    EXPECT_EQ(formFor(stream, entry, true, false), text ? CopyForm::kAsText : CopyForm::kAsStored)
        << made.name;
    EXPECT_EQ(formFor(stream, entry, false, true), CopyForm::kWithEntry) << made.name;
  }
  const LifDirEntry& notes = volume.entries[volume.entries.size() - 2];
  EXPECT_EQ(copied(stream, notes, CopyForm::kAsText), "HI\nABC\n");
}

TEST(FileStamp, ValidDatesOnly) {
  const struct {
    BcdStamp bcd;
    bool valid;
    int year;
  } cases[] = {
      {{0x86, 0x03, 0x21, 0x14, 0x30, 0x05}, true, 1986},
      {{0x24, 0x02, 0x29, 0x23, 0x59, 0x59}, true, 2024},
      {{0x69, 0x12, 0x31, 0x00, 0x00, 0x00}, true, 2069},
      {{0x70, 0x01, 0x01, 0x00, 0x00, 0x00}, true, 1970},
      {{0x00, 0x02, 0x29, 0x12, 0x00, 0x00}, true, 2000},
      {{0x23, 0x02, 0x29, 0x12, 0x00, 0x00}, false, 0},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, false, 0},
      {{0x86, 0x13, 0x01, 0x00, 0x00, 0x00}, false, 0},
      {{0x86, 0x04, 0x31, 0x00, 0x00, 0x00}, false, 0},
      {{0x86, 0x03, 0x21, 0x24, 0x00, 0x00}, false, 0},
      {{0x86, 0x03, 0x21, 0x10, 0x60, 0x00}, false, 0},
      {{0x86, 0x03, 0x21, 0x10, 0x00, 0x60}, false, 0},
      {{0x8A, 0x03, 0x21, 0x10, 0x00, 0x00}, false, 0},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, false, 0},
  };
  for (const auto& c : cases) {
    const auto stamp = validStamp(c.bcd);
    ASSERT_EQ(stamp.has_value(), c.valid) << int{c.bcd[0]} << ' ' << int{c.bcd[1]};
    if (stamp) {
      EXPECT_EQ(stamp->year, c.year);
    }
  }
  const auto stamp = validStamp({0x86, 0x03, 0x21, 0x14, 0x30, 0x05});
  ASSERT_TRUE(stamp.has_value());
  EXPECT_EQ((std::array{stamp->month, stamp->day, stamp->hour, stamp->minute, stamp->second}),
            (std::array{3, 21, 14, 30, 5}));
}

// The words for a file that a read error cut, kept or dropped.
TEST(FileCopy, ReadErrorIsSaidWithTheSystemsWords) {
  const struct {
    bool dropped;
    const char* said;
  } cases[] = {
      {true, "cannot be read: Input/output error; nothing was written"},
      {false, "cannot be read: Input/output error"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unreadNote("Input/output error", c.dropped), c.said);
  }
}

}  // namespace
}  // namespace tamrik::files
