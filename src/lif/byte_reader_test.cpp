// SPDX-License-Identifier: MIT
#include "lif/byte_reader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tamrik {
namespace {

struct BE16Case {
  std::string bytes;
  uint16_t value;
  bool good;
};

TEST(ReadBE16, AssemblesBigEndianAndMarksShortReads) {
  const BE16Case cases[] = {
      {std::string("\x80\x00", 2), 0x8000, true},
      {"\x12\x34\x56", 0x1234, true},
      {"\x80", 0x80FF, false},
      {"", 0x00FF, false},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.bytes);
    uint16_t value = 7;
    EXPECT_EQ(readBE16(in, value), c.good) << c.bytes.size();
    EXPECT_EQ(value, c.value) << c.bytes.size();
  }
}

TEST(ReadBE32, AssemblesBigEndianAndMarksShortReads) {
  struct {
    std::string bytes;
    uint32_t value;
    bool good;
  } const cases[] = {
      {std::string("\x00\x00\x01\x02", 4), 258, true},
      {"\xFF\xFE\xFD\xFC", 0xFFFEFDFC, true},
      {"\x12\x34", 0x001234FF, false},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.bytes);
    uint32_t value = 7;
    EXPECT_EQ(readBE32(in, value), c.good);
    EXPECT_EQ(value, c.value);
  }
}

TEST(ReadBE16, FailedStreamYieldsZeroWithoutReading) {
  std::istringstream in("\x12\x34");
  in.setstate(std::ios::failbit);
  uint16_t value = 7;
  EXPECT_FALSE(readBE16(in, value));
  EXPECT_EQ(value, 0);
  in.clear();
  EXPECT_EQ(in.tellg(), 0);
}

TEST(FormatBcdStamp, WritesNibblesUnvalidated) {
  const struct {
    BcdStamp bcd;
    const char* text;
  } cases[] = {
      {{0x86, 0x03, 0x21, 0x14, 0x30, 0x05}, "86/03/21 14:30:05"},
      {{0, 0, 0, 0, 0, 0}, "00/00/00 00:00:00"},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "\?\?/\?\?/\?\? \?\?:\?\?:\?\?"},
      {{0xA5, 0xBC, 0xDE, 0x99, 0x99, 0x99}, ":5/;</=> 99:99:99"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatBcdStamp(c.bcd), c.text);
}

TEST(ReadFixedText, KeepsBlanksAndNulsAndPadsShortReads) {
  std::istringstream full(std::string("AB\0\0\0\0", 6));
  EXPECT_EQ(readFixedText(full, 6), std::string("AB\0\0\0\0", 6));

  std::istringstream blanks("AB    ");
  EXPECT_EQ(readFixedText(blanks, 6), "AB    ");

  std::istringstream shortRead("XYZ");
  EXPECT_EQ(readFixedText(shortRead, 6), std::string("XYZ\0\0\0", 6));
  EXPECT_FALSE(shortRead.good());
}

TEST(ReadBcdStamp, MissingBytesAreZero) {
  std::istringstream in("\x86\x03");
  EXPECT_EQ(readBcdStamp(in), (BcdStamp{0x86, 0x03, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace tamrik
