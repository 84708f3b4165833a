// SPDX-License-Identifier: MIT
#include "lif/test_sample.h"

namespace tamrik::test {
namespace {

TestEntry file(const char* name, uint16_t typeCode, uint32_t start, uint32_t count,
               uint32_t implWord, BcdStamp stamp) {
  TestEntry entry = fileEntry(name, typeCode, start, count, implWord);
  entry.stamp = stamp;
  // Series 41 and 71 software leaves the volume word at 0.
  entry.volumeWord = 0;
  return entry;
}

}  // namespace

TestImage sampleVolume() {
  TestImage image;
  image.label = "TAMRIK";
  image.dirStart = 2;
  image.dirLength = 2;
  image.version = 0;
  image.tracks = image.surfaces = image.sectorsPerTrack = 0;
  image.initBcd = {0x86, 0x03, 0x21, 0x14, 0x30, 0x05};
  image.entries = {
      file("LUNAR", 0xE080, 4, 2, 0x012C0100, {0x86, 0x03, 0x21, 0x14, 0x41, 0x10}),
      file("MATRIX", 0xE020, 6, 2, 0x002D0000, {0x86, 0x03, 0x22, 0x09, 0x05, 0x31}),
      file("USERKEYS", 0xE050, 8, 1, 0x00100800, {0x86, 0x03, 0x22, 0x09, 0x12, 0x00}),
      file("XMEMDUMP", 0xE030, 9, 3, 0x00540000, {0x86, 0x04, 0x02, 0x18, 0x00, 0x45}),
      file("OLDPROG", 0x0000, 12, 4, 0, {0x86, 0x04, 0x03, 0x10, 0x20, 0x00}),
      file("SDATA1", 0xE0D0, 16, 1, 0x000A0000, {0x87, 0x01, 0x15, 0x08, 0x30, 0x00}),
      file("CHESS", 0xE214, 17, 24, 0xE0170000, {0x87, 0x05, 0x30, 0x20, 0x15, 0x42}),
      file("JPCLEX", 0xE209, 41, 12, 0xC0170000, {0x87, 0x06, 0x01, 0x11, 0x00, 0x00}),
      file("RESULTS", 0xE0F0, 53, 1, 0x0A001400, {0x87, 0x06, 0x02, 0x16, 0x47, 0x03}),
      file("README", 0xE0D1, 54, 2, 0, {0x87, 0x06, 0x02, 0x16, 0x50, 0x00}),
      file("MEMO", 0xE052, 56, 1, 0, {0x88, 0x11, 0x11, 0x07, 0x30, 0x00}),
      file("FORMULAS", 0xE08A, 57, 3, 0, {0x88, 0x11, 0x12, 0x19, 0x02, 0x27}),
  };
  // Series 75 marks every valid entry with volume word 0x8001.
  image.entries[10].volumeWord = image.entries[11].volumeWord = 0x8001;
  return image;
}

std::string sampleVolumeBytes() {
  std::string bytes = sampleVolume().bytes();
  bytes.resize(60 * 256, '\0');
  return bytes;
}

}  // namespace tamrik::test
