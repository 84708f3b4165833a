// SPDX-License-Identifier: MIT
#include "lif/file_types.h"

#include <gtest/gtest.h>

#include "lif/test_image.h"

namespace tamrik {
namespace {

struct Decoded {
  const char* typeName;
  const char* tag;
  const char* flags;  // letters of S, P, A that are set
  uint32_t sizeBytes;
  uint32_t regCount;
};

struct Case {
  uint16_t code;
  uint32_t sectorCount;
  uint32_t implWord;
  Decoded expected;
};

LifDirEntry decode(uint16_t code, uint32_t sectorCount, uint32_t implWord) {
  LifDirEntry entry;
  entry.typeCode = static_cast<int16_t>(code);
  entry.sectorCount = sectorCount;
  entry.implWord = implWord;
  decodeFileType(entry);
  return entry;
}

std::string flagsOf(const LifDirEntry& entry) {
  std::string flags;
  if (entry.flagS) flags += 'S';
  if (entry.flagP) flags += 'P';
  if (entry.flagA) flags += 'A';
  return flags;
}

void expectDecodes(const Case& c) {
  const LifDirEntry entry = decode(c.code, c.sectorCount, c.implWord);
  SCOPED_TRACE(testing::Message() << std::hex << "code 0x" << c.code << " impl 0x" << c.implWord);
  EXPECT_EQ(entry.typeName, c.expected.typeName);
  EXPECT_EQ(entry.machineTag, c.expected.tag);
  EXPECT_EQ(flagsOf(entry), c.expected.flags);
  EXPECT_EQ(entry.sizeBytes, c.expected.sizeBytes);
  EXPECT_EQ(entry.regCount, c.expected.regCount);
}

// implWord 0x002A0B00: H = 42, byte 30 = 0x0B sets S, P and A.
constexpr uint32_t kH42AllFlags = 0x002A0B00;
// Nibble count 0x1234 stored little-endian in bytes 28..30, byte 31 = 0x55.
constexpr uint32_t kNibbles4660 = 0x34120055;

TEST(FileTypes, EveryRowOfTheTable) {
  const Case cases[] = {
      {0x0000, 3, kH42AllFlags, {"(NUL)", "", "", 0, 0}},
      {0x0001, 3, kH42AllFlags, {"TEXT", "", "", 768, 0}},
      {0x00FF, 3, kNibbles4660, {"D-LEX", "71", "", 2330, 0}},
      {0xE020, 3, kH42AllFlags, {"CALC", "41", "", 768, 42}},
      {0xE030, 3, kH42AllFlags, {"XMEM", "41", "", 512, 42}},
      {0xE040, 3, kH42AllFlags, {"WALL", "41", "SPA", 768, 42}},
      {0xE050, 3, kH42AllFlags, {"KEY", "41", "SPA", 768, 42}},
      {0xE052, 3, kH42AllFlags, {"TEXT", "75", "", 768, 0}},
      {0xE053, 3, kH42AllFlags, {"APPT", "75", "", 768, 0}},
      {0xE058, 3, kH42AllFlags, {"DATA", "75", "", 768, 0}},
      {0xE060, 3, kH42AllFlags, {"STAT", "41", "SPA", 768, 42}},
      {0xE070, 3, 0x04000B00, {"ROM", "41", "SPA", 8192, 0}},
      {0xE080, 3, 0x012C0B00, {"PROG", "41", "SPA", 512, 43}},
      {0xE088, 3, kH42AllFlags, {"BASIC", "75", "", 768, 0}},
      {0xE089, 3, kH42AllFlags, {"LEX", "75", "", 768, 0}},
      {0xE08A, 3, kH42AllFlags, {"VCALC", "75", "", 768, 0}},
      {0xE08B, 3, kH42AllFlags, {"ROM", "75", "", 768, 0}},
      {0xE0B0, 3, kH42AllFlags, {"BUFF", "41", "", 768, 42}},
      {0xE0D0, 3, 0x000A0B00, {"SDATA", "71/41", "SP", 80, 10}},
      {0xE0D1, 3, 0, {"TEXT", "71", "S", 768, 0}},
      {0xE0F0, 3, 0x0A001400, {"DATA", "71", "", 200, 0}},
      {0xE0F1, 3, 0x0A001400, {"DATA", "71", "S", 200, 0}},
      {0xE0FE, 3, kH42AllFlags, {"BASIC", "75", "", 768, 0}},
  };
  for (const Case& c : cases) expectDecodes(c);
}

TEST(FileTypes, Family71RangesTakeFlagsFromTheCode) {
  const Case cases[] = {
      {0xE204, 3, kNibbles4660, {"BIN", "71", "", 2324, 0}},
      {0xE205, 3, kNibbles4660, {"BIN", "71", "S", 2324, 0}},
      {0xE206, 3, kNibbles4660, {"BIN", "71", "P", 2324, 0}},
      {0xE207, 3, kNibbles4660, {"BIN", "71", "SP", 2324, 0}},
      {0xE208, 3, kNibbles4660, {"LEX", "71", "", 2330, 0}},
      {0xE20B, 3, kNibbles4660, {"LEX", "71", "SP", 2330, 0}},
      {0xE20C, 3, kNibbles4660, {"KEY", "71", "", 2330, 0}},
      {0xE20D, 3, kNibbles4660, {"KEY", "71", "S", 2330, 0}},
      {0xE214, 3, kNibbles4660, {"BASIC", "71", "", 2324, 0}},
      {0xE216, 3, kNibbles4660, {"BASIC", "71", "P", 2324, 0}},
      {0xE217, 3, kNibbles4660, {"BASIC", "71", "SP", 2324, 0}},
      {0xE218, 3, kNibbles4660, {"FORTH", "71", "", 2330, 0}},
      {0xE21B, 3, kNibbles4660, {"FORTH", "71", "SP", 2330, 0}},
      {0xE21C, 3, kNibbles4660, {"ROM", "71", "", 2330, 0}},
      {0xE21F, 3, kNibbles4660, {"ROM", "71", "SP", 2330, 0}},
      {0xE222, 3, kNibbles4660, {"GRAPH", "71", "", 2327, 0}},
      {0xE223, 3, kNibbles4660, {"GRAPH", "71", "S", 2327, 0}},
      {0xE224, 3, kNibbles4660, {"ADRS", "71", "", 2318, 0}},
      {0xE225, 3, kNibbles4660, {"ADRS", "71", "S", 2318, 0}},
      {0xE22C, 3, kNibbles4660, {"OBJ", "71", "", 2330, 0}},
      {0xE22D, 3, kNibbles4660, {"OBJ", "71", "S", 2330, 0}},
      {0xE22E, 3, kNibbles4660, {"SYM", "71", "", 2330, 0}},
      {0xE22F, 3, kNibbles4660, {"SYM", "71", "S", 2330, 0}},
  };
  for (const Case& c : cases) expectDecodes(c);
}

TEST(FileTypes, CodesOutsideTheTableGetTheirNumberAndSectorSize) {
  const Case cases[] = {
      {0x0002, 2, kH42AllFlags, {"2     ", "", "", 512, 0}},
      {0x00FE, 1, 0, {"254   ", "", "", 256, 0}},
      {0x0100, 1, 0, {"256   ", "", "", 256, 0}},
      {0x1234, 1, 0, {"4660  ", "", "", 256, 0}},
      {0x8000, 1, 0, {"-32768", "", "", 256, 0}},
      {0xE008, 4, 0, {"-8184 ", "", "", 1024, 0}},
      {0xE01F, 1, 0, {"-8161 ", "", "", 256, 0}},
      {0xE021, 1, kH42AllFlags, {"-8159 ", "", "", 256, 0}},
      {0xE051, 1, 0, {"-8111 ", "", "", 256, 0}},
      {0xE0D2, 1, 0, {"-7982 ", "", "", 256, 0}},
      {0xE0F2, 1, 0, {"-7950 ", "", "", 256, 0}},
      {0xE203, 1, 0, {"-7677 ", "", "", 256, 0}},
      {0xE20E, 1, kNibbles4660, {"-7666 ", "", "", 256, 0}},
      {0xE213, 1, 0, {"-7661 ", "", "", 256, 0}},
      {0xE220, 1, 0, {"-7648 ", "", "", 256, 0}},
      {0xE221, 1, 0, {"-7647 ", "", "", 256, 0}},
      {0xE226, 1, 0, {"-7642 ", "", "", 256, 0}},
      {0xE22B, 1, 0, {"-7637 ", "", "", 256, 0}},
      {0xE230, 1, 0, {"-7632 ", "", "", 256, 0}},
      {0xFFFE, 0x01000000, 0, {"-2    ", "", "", 0, 0}},
  };
  for (const Case& c : cases) expectDecodes(c);
}

TEST(FileTypes, SizeFormulasWrapAsThe32BitArithmeticDoes) {
  const Case cases[] = {
      // Nibble counts below the offset wrap to near 2^31.
      {0xE204, 0, 0x00000000, {"BIN", "71", "", 2147483642, 0}},
      {0xE204, 0, 0x0A000000, {"BIN", "71", "", 2147483647, 0}},
      {0xE204, 0, 0x0B000000, {"BIN", "71", "", 0, 0}},
      // The 0xFF00 mask keeps 16 bits of the rounded XMEM and PROG sizes.
      {0xE030, 0, 0x1FE00000, {"XMEM", "41", "", 65280, 8160}},
      {0xE030, 0, 0x20000000, {"XMEM", "41", "", 0, 8192}},
      {0xE080, 0, 0x00000000, {"PROG", "41", "", 0, 0}},
      {0xE080, 0, 0x00010000, {"PROG", "41", "", 256, 1}},
      {0xE080, 0, 0xFFFF0000, {"PROG", "41", "", 256, 9363}},
      // Sector sizes keep the low 32 bits.
      {0x0001, 0x01000001, 0, {"TEXT", "", "", 256, 0}},
      {0xE0F0, 0, 0xFFFFFFFF, {"DATA", "71", "", 4294836225, 0}},
      {0xE0D0, 0, 0xFFFF0200, {"SDATA", "71/41", "", 524280, 65535}},
  };
  for (const Case& c : cases) expectDecodes(c);
}

TEST(NibbleBytes, SubtractsTheOffsetBeforeHalving) {
  LifDirEntry entry;
  entry.implWord = kNibbles4660;
  EXPECT_EQ(entry.nibbleBytes(0), 2330U);
  EXPECT_EQ(entry.nibbleBytes(6), 2327U);
  EXPECT_EQ(entry.nibbleBytes(12), 2324U);
  EXPECT_EQ(entry.nibbleBytes(24), 2318U);
  entry.implWord = 0x563412FF;  // three bytes, least significant first
  EXPECT_EQ(entry.nibbleBytes(0), (0x123456U + 1) / 2);
}

}  // namespace
}  // namespace tamrik
