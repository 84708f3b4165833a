// SPDX-License-Identifier: MIT
#include "lif/byte_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace tamrik {
namespace {

// A field cut by the end of the image reads as field-by-field reading from
// a stream would give it: the end-of-file value's low byte 0xFF ends it,
// and the fields after it read as 0.
TEST(RecordFieldBE, AssemblesBigEndianAndDegradesAtTheCut) {
  const struct {
    std::string bytes;
    std::size_t offset;
    std::size_t width;
    uint32_t value;
  } cases[] = {
      {std::string("\x80\x00", 2), 0, 2, 0x8000},
      {"\x12\x34\x56", 0, 2, 0x1234},
      {"\x80", 0, 2, 0x80FF},
      {"", 0, 2, 0x00FF},
      {std::string("\x00\x00\x01\x02", 4), 0, 4, 258},
      {"\xFF\xFE\xFD\xFC", 0, 4, 0xFFFEFDFC},
      {"\x12\x34", 0, 4, 0x001234FF},
      {"\x99\x12\x34", 1, 4, 0x001234FF},
      {"\x99\x12\x34", 3, 2, 0x00FF},
      {"\x99\x12\x34", 4, 2, 0},
      {"\x99\x12\x34", 8, 4, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(recordFieldBE(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(),
                            c.offset, c.width),
              c.value)
        << c.bytes.size() << " " << c.offset;
  }
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

}  // namespace
}  // namespace tamrik
