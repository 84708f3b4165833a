// SPDX-License-Identifier: MIT
#include "lif/lif_dir_entry.h"

#include <algorithm>
#include <string_view>

#include "lif/file_types.h"

namespace tamrik {
namespace {

constexpr std::size_t kNameBytes = 10;
constexpr uint16_t kAcceptedVolumeWord75 = 0x8001;

}  // namespace

bool LifDirEntry::readEntry(std::istream& in) {
  // The entry in two block reads: the first 12 bytes hold the end marker,
  // and a directory may end right behind it. Bytes that do not arrive
  // stay zero, and the fields read as the stream readers would give them.
  unsigned char raw[kEntryBytes] = {};
  std::size_t got = readBlock(in, raw, 12);
  const auto field = [&](std::size_t offset, std::size_t width) {
    return recordFieldBE(raw, got, offset, width);
  };

  name.assign(std::string_view(reinterpret_cast<const char*>(raw), kNameBytes));
  const auto code = static_cast<uint16_t>(field(10, 2));
  typeCode = static_cast<int16_t>(code);
  if (code == kEndOfDirectory) return false;
  got += readBlock(in, raw + 12, kEntryBytes - 12);
  startSector = field(12, 4);
  sectorCount = field(16, 4);
  std::copy(raw + 20, raw + 26, stampBcd.begin());
  stamp = formatBcdStamp(stampBcd);
  volumeWord = static_cast<uint16_t>(field(26, 2));
  implWord = field(28, 4);

  machineTag.clear();
  flagA = flagP = flagS = false;
  sizeBytes = regCount = 0;
  decodeFileType(*this);

  // Series 75 media mark their valid entries with this volume word; any other
  // value there means the rest of the directory cannot be trusted.
  return machineTag != std::string_view("75") || volumeWord == kAcceptedVolumeWord75;
}

uint32_t LifDirEntry::nibbleBytes(uint32_t k) const {
  // The nibble count is the three upper bytes of implWord, least significant
  // first.
  const uint32_t nibbles =
      ((implWord >> 24) & 0xFF) | ((implWord >> 8) & 0xFF00) | ((implWord << 8) & 0xFF0000);
  return (nibbles - k + 1) >> 1;
}

bool LifDirEntry::operator<(const LifDirEntry& other) const {
  // The views compare as memcmp does: bytes as unsigned values, and a name
  // that is a prefix of the other first.
  return name.view() < other.name.view();
}

}  // namespace tamrik
