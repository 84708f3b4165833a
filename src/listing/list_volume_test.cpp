// SPDX-License-Identifier: MIT
#include "listing/list_volume.h"

#include <gtest/gtest.h>

#include <sstream>

#include "lif/test_image.h"

namespace tamrik {
namespace {

std::string listed(const std::string& bytes, bool sortByName = false) {
  std::istringstream image(bytes);
  std::ostringstream out;
  listVolume(image, sortByName, false, LineWriter{out});
  return out.str();
}

constexpr char kRefusalText[] = "Unknown or corrupt disk image\n\n";

TEST(ListVolume, ValidImageEndsWithEndOfDirectory) {
  test::TestImage image;
  image.label = "UTILS1";
  test::TestEntry notes;
  notes.name = test::lifName("NOTES");
  notes.typeCode = 0xE0D1;
  notes.startSector = 6;
  notes.sectorCount = 3;
  test::TestEntry matrix;
  matrix.name = test::lifName("MATRIX");
  matrix.typeCode = 0xE020;
  matrix.startSector = 9;
  matrix.sectorCount = 2;
  matrix.stamp = {0x24, 0x03, 0x16, 0x09, 0x05, 0x31};
  matrix.volumeWord = 0;
  matrix.implWord = 0x002D0000;
  image.entries = {notes, matrix};
  image.entries.push_back(notes);
  image.entries.back().typeCode = 0;
  image.dirLength = 1;
  EXPECT_EQ(listed(image.bytes()),
            "Volume label: UTILS1\n"
            "Initialized   24/03/15  10:42:07\n"
            "Max 8 entries, unused 6                   Total 630784 bytes, unused 627968\n"
            "\n"
            " No.    Name      Type          S        Size      Start  Recs    Date     Time\n"
            "  1.  NOTES       TEXT   71     S       768 bytes     6     3   24/03/15  10:45\n"
            "  2.  MATRIX      CALC   41              45 regs      9     2   24/03/16  09:05\n"
            "End of Directory\n");
}

TEST(ListVolume, RefusesWhatIsNotAWholeLifVolume) {
  test::TestImage image;
  image.entries = {test::TestEntry{}, test::TestEntry{}};
  const std::string valid = image.bytes();
  std::string wrongId = valid;
  wrongId[1] = 0x01;
  const std::string cases[] = {
      "",
      "This is a text file, not a disk image.\n",
      wrongId,
      valid.substr(0, 41),
      valid.substr(0, 512 + 32 + 5),
  };
  for (const std::string& bytes : cases) EXPECT_EQ(listed(bytes), kRefusalText);
}

}  // namespace
}  // namespace tamrik
