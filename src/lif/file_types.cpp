// SPDX-License-Identifier: MIT
#include "lif/file_types.h"

#include <array>
#include <charconv>
#include <iterator>
#include <string_view>

namespace tamrik {
namespace {

enum class Flags : uint8_t {
  kNone,
  kImplSPA,  // S, P, A from implWord bits 11, 8, 9
  kImplSP,   // S, P from implWord bits 11, 8
  kCodeSP,   // S, P from type code bits 0, 1
  kCodeS,    // S from type code bit 0
  kAlwaysS,
};

enum class Size : uint8_t {
  kZero,
  kSectors,  // sectorCount * 256
  kNibbles,  // nibbleBytes(nibbleOffset)
  kRegs8,    // H * 8
  kXmem,     // H * 8 rounded up to a sector, kept to 16 bits
  kProg,     // 7-byte registers rounded up to a sector, kept to 16 bits
  kData71,   // product of the two little-endian halves of implWord
};

enum class Regs : uint8_t { kNone, kH, kProg };

struct FileType {
  uint16_t first;
  uint16_t last;
  TypeName name;
  MachineTag tag;
  Flags flags;
  Size size;
  Regs regs;
  uint8_t nibbleOffset;
};

// The ranges do not overlap.
constexpr FileType kFileTypes[] = {
    {0x0000, 0x0000, "(NUL)", "", Flags::kNone, Size::kZero, Regs::kNone, 0},
    {0x0001, 0x0001, "TEXT", "", Flags::kNone, Size::kSectors, Regs::kNone, 0},
    {0x00FF, 0x00FF, "D-LEX", "71", Flags::kNone, Size::kNibbles, Regs::kNone, 0},
    {0xE020, 0xE020, "CALC", "41", Flags::kNone, Size::kSectors, Regs::kH, 0},
    {0xE030, 0xE030, "XMEM", "41", Flags::kNone, Size::kXmem, Regs::kH, 0},
    {0xE040, 0xE040, "WALL", "41", Flags::kImplSPA, Size::kSectors, Regs::kH, 0},
    {0xE050, 0xE050, "KEY", "41", Flags::kImplSPA, Size::kSectors, Regs::kH, 0},
    {0xE052, 0xE052, "TEXT", "75", Flags::kNone, Size::kSectors, Regs::kNone, 0},
    {0xE053, 0xE053, "APPT", "75", Flags::kNone, Size::kSectors, Regs::kNone, 0},
    {0xE058, 0xE058, "DATA", "75", Flags::kNone, Size::kSectors, Regs::kNone, 0},
    {0xE060, 0xE060, "STAT", "41", Flags::kImplSPA, Size::kSectors, Regs::kH, 0},
    {0xE070, 0xE070, "ROM", "41", Flags::kImplSPA, Size::kRegs8, Regs::kNone, 0},
    {0xE080, 0xE080, "PROG", "41", Flags::kImplSPA, Size::kProg, Regs::kProg, 0},
    {0xE088, 0xE088, "BASIC", "75", Flags::kNone, Size::kSectors, Regs::kNone, 0},
    {0xE089, 0xE089, "LEX", "75", Flags::kNone, Size::kSectors, Regs::kNone, 0},
    {0xE08A, 0xE08A, "VCALC", "75", Flags::kNone, Size::kSectors, Regs::kNone, 0},
    {0xE08B, 0xE08B, "ROM", "75", Flags::kNone, Size::kSectors, Regs::kNone, 0},
    {0xE0B0, 0xE0B0, "BUFF", "41", Flags::kNone, Size::kSectors, Regs::kH, 0},
    {0xE0D0, 0xE0D0, "SDATA", "71/41", Flags::kImplSP, Size::kRegs8, Regs::kH, 0},
    {0xE0D1, 0xE0D1, "TEXT", "71", Flags::kAlwaysS, Size::kSectors, Regs::kNone, 0},
    {0xE0F0, 0xE0F1, "DATA", "71", Flags::kCodeS, Size::kData71, Regs::kNone, 0},
    {0xE0FE, 0xE0FE, "BASIC", "75", Flags::kNone, Size::kSectors, Regs::kNone, 0},
    {0xE204, 0xE207, "BIN", "71", Flags::kCodeSP, Size::kNibbles, Regs::kNone, 12},
    {0xE208, 0xE20B, "LEX", "71", Flags::kCodeSP, Size::kNibbles, Regs::kNone, 0},
    {0xE20C, 0xE20D, "KEY", "71", Flags::kCodeS, Size::kNibbles, Regs::kNone, 0},
    {0xE214, 0xE217, "BASIC", "71", Flags::kCodeSP, Size::kNibbles, Regs::kNone, 12},
    {0xE218, 0xE21B, "FORTH", "71", Flags::kCodeSP, Size::kNibbles, Regs::kNone, 0},
    {0xE21C, 0xE21F, "ROM", "71", Flags::kCodeSP, Size::kNibbles, Regs::kNone, 0},
    {0xE222, 0xE223, "GRAPH", "71", Flags::kCodeS, Size::kNibbles, Regs::kNone, 6},
    {0xE224, 0xE225, "ADRS", "71", Flags::kCodeS, Size::kNibbles, Regs::kNone, 24},
    {0xE22C, 0xE22D, "OBJ", "71", Flags::kCodeS, Size::kNibbles, Regs::kNone, 0},
    {0xE22E, 0xE22F, "SYM", "71", Flags::kCodeS, Size::kNibbles, Regs::kNone, 0},
};

// Every code of the table lies below 0x100 or in 0xE000..0xE22F. Those
// two windows, side by side, index a table of row numbers made from the
// rows at compile time, so that a code is found with one lookup.
constexpr uint16_t kHighFirst = 0xE000;
constexpr std::size_t kLowCodes = 0x100;
constexpr std::size_t kWindow = kLowCodes + 0x230;
constexpr uint8_t kNoRow = 0xFF;

constexpr std::size_t windowIndex(uint16_t code) {
  if (code < kLowCodes) return code;
  const std::size_t high = code - std::size_t{kHighFirst};  // wraps below the window
  return high < kWindow - kLowCodes ? kLowCodes + high : kWindow;
}

constexpr std::array<uint8_t, kWindow> kRowOfCode = [] {
  std::array<uint8_t, kWindow> rows{};
  for (uint8_t& row : rows) row = kNoRow;
  for (std::size_t i = 0; i < std::size(kFileTypes); ++i) {
    for (uint32_t code = kFileTypes[i].first; code <= kFileTypes[i].last; ++code) {
      rows[windowIndex(static_cast<uint16_t>(code))] = static_cast<uint8_t>(i);
    }
  }
  return rows;
}();

const FileType* findFileType(uint16_t code) {
  const std::size_t index = windowIndex(code);
  if (index == kWindow || kRowOfCode[index] == kNoRow) return nullptr;
  return &kFileTypes[kRowOfCode[index]];
}

// Each flag is one bit of a word made of implWord, the type code above it
// and a bit that is always set, so that every kind of flag is read the
// same way: directory types come mixed, and a branch on the kind would
// guess wrong at many an entry.
constexpr int kCodeBit0 = 32;
constexpr int kNeverBit = 62;
constexpr int kAlwaysBit = 63;

struct FlagBits {
  uint8_t s;
  uint8_t p;
  uint8_t a;
};

// The bits of S, P and A for each kind of flags, in the order of Flags.
constexpr FlagBits kFlagBits[] = {
    {kNeverBit, kNeverBit, kNeverBit},      // kNone
    {11, 8, 9},                             // kImplSPA
    {11, 8, kNeverBit},                     // kImplSP
    {kCodeBit0, kCodeBit0 + 1, kNeverBit},  // kCodeSP
    {kCodeBit0, kNeverBit, kNeverBit},      // kCodeS
    {kAlwaysBit, kNeverBit, kNeverBit},     // kAlwaysS
};

bool bit(uint64_t word, int n) {
  return ((word >> n) & 1U) != 0;
}

// Rounds a byte count up to whole sectors. The 16-bit mask drops everything
// above 64 KiB, so a large count can come out as 0.
uint32_t roundToSector16(uint32_t bytes) {
  return (bytes + 255) & 0xFF00U;
}

}  // namespace

TypeName numericTypeName(int16_t typeCode) {
  TypeName name("      ");
  // Six places hold every value, "-32768" included.
  std::to_chars(name.bytes.data(), name.bytes.data() + name.bytes.size(), typeCode);
  return name;
}

void decodeFileType(LifDirEntry& entry) {
  const auto code = static_cast<uint16_t>(entry.typeCode);
  const FileType* type = findFileType(code);
  if (type == nullptr) {
    entry.typeName = numericTypeName(entry.typeCode);
    entry.machineTag.clear();
    entry.flagA = entry.flagP = entry.flagS = false;
    entry.sizeBytes = entry.sectorCount << 8;
    entry.regCount = 0;
    return;
  }

  const uint32_t impl = entry.implWord;
  const uint32_t registers = impl >> 16;
  entry.typeName = type->name;
  entry.machineTag = type->tag;

  const FlagBits& flags = kFlagBits[static_cast<std::size_t>(type->flags)];
  const uint64_t flagWord = impl | uint64_t{code} << kCodeBit0 | uint64_t{1} << kAlwaysBit;
  entry.flagS = bit(flagWord, flags.s);
  entry.flagP = bit(flagWord, flags.p);
  entry.flagA = bit(flagWord, flags.a);

  // Selected rather than branched to, for the reason the flags are read
  // alike.
  const uint32_t progRegisters = (registers + 6) / 7;
  entry.regCount =
      (type->regs == Regs::kH ? registers : 0) | (type->regs == Regs::kProg ? progRegisters : 0);

  switch (type->size) {
    case Size::kZero:
      entry.sizeBytes = 0;
      break;
    case Size::kSectors:
      entry.sizeBytes = entry.sectorCount << 8;
      break;
    case Size::kNibbles:
      entry.sizeBytes = entry.nibbleBytes(type->nibbleOffset);
      break;
    case Size::kRegs8:
      entry.sizeBytes = registers * 8;
      break;
    case Size::kXmem:
      entry.sizeBytes = roundToSector16(registers * 8);
      break;
    case Size::kProg:
      entry.sizeBytes = roundToSector16(progRegisters * 7);
      break;
    case Size::kData71: {
      // Record count times record length, each a little-endian 16-bit half.
      const uint32_t low = ((impl >> 24) & 0xFF) | ((impl >> 8) & 0xFF00);
      const uint32_t high = ((impl >> 8) & 0xFF) | ((impl << 8) & 0xFF00);
      entry.sizeBytes = low * high;
      break;
    }
  }
}

}  // namespace tamrik
