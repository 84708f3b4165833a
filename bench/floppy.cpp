// SPDX-License-Identifier: MIT
#include "floppy.h"

#include <string>

namespace tamrik::bench {
namespace {

// A small linear congruential generator: the same seed gives the same
// volume on every machine.
struct Random {
  uint32_t state;
  uint32_t next() {
    state = state * 1664525U + 1013904223U;
    return state >> 8;
  }
  uint32_t below(uint32_t n) { return next() % n; }
};

struct Kind {
  uint16_t typeCode;
  uint16_t volumeWord;
  bool nibbles;  // implWord holds a nibble count rather than registers
};

// Type codes seen on real media; each decodes to a size that is not zero.
constexpr Kind kKinds[] = {
    {0xE080, 0, false},       // PROG 41
    {0xE020, 0, false},       // CALC 41
    {0xE050, 0, false},       // KEY 41
    {0xE030, 0, false},       // XMEM 41
    {0xE0D0, 0, false},       // SDATA 71/41
    {0xE214, 0, true},        // BASIC 71
    {0xE209, 0, true},        // LEX 71
    {0xE0D1, 0, false},       // TEXT 71
    {0xE052, 0x8001, false},  // TEXT 75
    {0xE08A, 0x8001, false},  // VCALC 75
    {0x0001, 0, false},       // TEXT
};

uint8_t bcd(uint32_t value) {
  return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

}  // namespace

test::TestImage generatedVolume(std::size_t entryCount, uint32_t seed) {
  Random random{seed * 2654435761U + 1};
  test::TestImage image;
  image.label = "BENCH" + std::to_string(seed % 10);
  image.dirStart = 2;
  image.dirLength = static_cast<uint32_t>((entryCount + 1 + 7) / 8);
  image.entries.reserve(entryCount);
  uint32_t sector = image.dirStart + image.dirLength;
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (std::size_t i = 0; i < entryCount; ++i) {
    const Kind& kind = kKinds[random.below(sizeof kKinds / sizeof kKinds[0])];
    test::TestEntry entry;
    std::string name;
    const uint32_t length = 3 + random.below(6);
    for (uint32_t c = 0; c < length; ++c) name += kLetters[random.below(sizeof kLetters - 1)];
    entry.name = test::lifName(name);
    entry.typeCode = kind.typeCode;
    entry.volumeWord = kind.volumeWord;
    entry.startSector = sector;
    entry.sectorCount = 1 + random.below(24);
    sector += entry.sectorCount;
    if (kind.nibbles) {
      // Nibble count, least significant byte first, in the upper three bytes.
      const uint32_t nibbles = 64 + random.below(entry.sectorCount * 512 - 64);
      entry.implWord =
          ((nibbles & 0xFF) << 24) | ((nibbles & 0xFF00) << 8) | ((nibbles >> 8) & 0xFF00);
    } else {
      entry.implWord = (1 + random.below(400)) << 16 | (random.below(2) << 11);
    }
    entry.stamp = {bcd(80 + random.below(10)), bcd(1 + random.below(12)), bcd(1 + random.below(28)),
                   bcd(random.below(24)),      bcd(random.below(60)),     bcd(random.below(60))};
    image.entries.push_back(entry);
  }
  return image;
}

}  // namespace tamrik::bench
