// SPDX-License-Identifier: MIT
#include "lif/lif_dir_entry.h"

#include <algorithm>

#include "lif/file_types.h"

namespace tamrik {
namespace {

constexpr std::size_t kNameBytes = 10;
constexpr uint16_t kAcceptedVolumeWord75 = 0x8001;

}  // namespace

bool LifDirEntry::readEntry(std::istream& in) {
  name = readFixedText(in, kNameBytes);
  uint16_t code = 0;
  readBE16(in, code);
  typeCode = static_cast<int16_t>(code);
  if (code == kEndOfDirectory) return false;
  readBE32(in, startSector);
  readBE32(in, sectorCount);
  stampBcd = readBcdStamp(in);
  stamp = formatBcdStamp(stampBcd);
  readBE16(in, volumeWord);
  readBE32(in, implWord);

  machineTag.clear();
  flagA = flagP = flagS = false;
  sizeBytes = regCount = 0;
  decodeFileType(*this);

  // Series 75 media mark their valid entries with this volume word; any other
  // value there means the rest of the directory cannot be trusted.
  return machineTag != "75" || volumeWord == kAcceptedVolumeWord75;
}

uint32_t LifDirEntry::nibbleBytes(uint32_t k) const {
  // The nibble count is the three upper bytes of implWord, least significant
  // first.
  const uint32_t nibbles =
      ((implWord >> 24) & 0xFF) | ((implWord >> 8) & 0xFF00) | ((implWord << 8) & 0xFF0000);
  return (nibbles - k + 1) >> 1;
}

bool LifDirEntry::operator<(const LifDirEntry& other) const {
  return std::lexicographical_compare(
      name.begin(), name.end(), other.name.begin(), other.name.end(),
      [](char a, char b) { return static_cast<unsigned char>(a) < static_cast<unsigned char>(b); });
}

}  // namespace tamrik
