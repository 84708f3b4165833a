// SPDX-License-Identifier: MIT
#include "lif/lif_dir_entry.h"

#include <gtest/gtest.h>

#include <string>

#include "lif/test_image.h"

namespace tamrik {
namespace {

using test::entryBytes;
using test::TestEntry;

// Decodes the bytes, of which there may be fewer than an entry's 32.
bool decode(LifDirEntry& entry, const std::string& bytes) {
  return entry.readEntry(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(ReadEntry, ReadsEveryRawField) {
  TestEntry raw;
  raw.name = "ABC       ";
  raw.typeCode = 0xE020;
  raw.startSector = 0x01020304;
  raw.sectorCount = 0x00000102;
  raw.stamp = {0x86, 0x03, 0x21, 0x14, 0x30, 0x05};
  raw.volumeWord = 0x1234;
  raw.implWord = 0x002A0B00;
  LifDirEntry entry;
  ASSERT_TRUE(decode(entry, entryBytes(raw)));
  EXPECT_EQ(entry.name, "ABC       ");
  EXPECT_EQ(entry.typeCode, static_cast<int16_t>(0xE020));
  EXPECT_EQ(entry.startSector, 0x01020304U);
  EXPECT_EQ(entry.sectorCount, 0x102U);
  EXPECT_EQ(entry.stamp, "86/03/21 14:30:05");
  EXPECT_EQ(entry.volumeWord, 0x1234);
  EXPECT_EQ(entry.implWord, 0x002A0B00U);
  EXPECT_EQ(entry.typeName, "CALC");
  EXPECT_EQ(entry.regCount, 42U);
}

TEST(ReadEntry, NameKeepsNulBytes) {
  TestEntry raw;
  raw.name = std::string("A\0B\0\0     ", 10);
  LifDirEntry entry;
  ASSERT_TRUE(decode(entry, entryBytes(raw)));
  EXPECT_EQ(entry.name, raw.name);
  EXPECT_EQ(entry.name.size(), 10U);
}

TEST(ReadEntry, EndMarkerNeedsOnlyNameAndType) {
  TestEntry raw;
  raw.name = "LAST      ";
  raw.typeCode = 0xFFFF;
  for (const std::size_t available : {std::size_t{12}, std::size_t{32}}) {
    LifDirEntry entry;
    EXPECT_FALSE(decode(entry, entryBytes(raw).substr(0, available)));
    EXPECT_EQ(entry.name, "LAST      ");
    EXPECT_EQ(static_cast<uint16_t>(entry.typeCode), 0xFFFF);
  }
}

TEST(ReadEntry, PurgedEntryIsAccepted) {
  TestEntry raw;
  raw.typeCode = 0;
  raw.volumeWord = 0;
  LifDirEntry entry;
  EXPECT_TRUE(decode(entry, entryBytes(raw)));
  EXPECT_EQ(entry.typeName, "(NUL)");
  EXPECT_EQ(entry.sizeBytes, 0U);
}

TEST(ReadEntry, Family75NeedsVolumeWord8001) {
  const struct {
    uint16_t typeCode;
    uint16_t volumeWord;
    bool accepted;
  } cases[] = {
      {0xE052, 0x8001, true},  {0xE052, 0x0001, false}, {0xE052, 0x8000, false},
      {0xE0FE, 0x0000, false}, {0xE08B, 0x8001, true},  {0xE020, 0x0000, true},
      {0xE204, 0x0000, true},  {0xE0D0, 0x0000, true},  {0x1234, 0x0000, true},
      {0x0001, 0x0000, true},
  };
  for (const auto& c : cases) {
    TestEntry raw;
    raw.typeCode = c.typeCode;
    raw.volumeWord = c.volumeWord;
    LifDirEntry entry;
    EXPECT_EQ(decode(entry, entryBytes(raw)), c.accepted)
        << std::hex << c.typeCode << " " << c.volumeWord;
  }
}

TEST(ReadEntry, ResetsDerivedFieldsOfAReusedRecord) {
  TestEntry sdata;
  sdata.typeCode = 0xE0D0;
  sdata.implWord = 0x000A0900;
  TestEntry text;
  text.typeCode = 0x0001;
  LifDirEntry entry;
  ASSERT_TRUE(decode(entry, entryBytes(sdata)));
  ASSERT_TRUE(entry.flagS && entry.flagP && entry.regCount == 10);
  ASSERT_TRUE(decode(entry, entryBytes(text)));
  EXPECT_FALSE(entry.flagS || entry.flagP || entry.flagA);
  EXPECT_EQ(entry.regCount, 0U);
  EXPECT_EQ(entry.machineTag, "");
}

TEST(ReadEntry, CutInsideTheNameDecodesAsPurged) {
  LifDirEntry entry;
  EXPECT_TRUE(decode(entry, "ABC"));
  EXPECT_EQ(entry.name, std::string("ABC\0\0\0\0\0\0\0", 10));
  EXPECT_EQ(entry.typeCode, 0);
  EXPECT_EQ(entry.typeName, "(NUL)");
}

TEST(ReadEntry, CutInsideTheStampLeavesZeros) {
  TestEntry raw;
  raw.stamp = {0x86, 0x03, 0x21, 0x14, 0x30, 0x05};
  LifDirEntry entry;
  decode(entry, entryBytes(raw).substr(0, 23));
  EXPECT_EQ(entry.stamp, "86/03/21 00:00:00");
  EXPECT_EQ(entry.implWord, 0U);
}

}  // namespace
}  // namespace tamrik
