// SPDX-License-Identifier: MIT
#include "lif/lif_dir_entry.h"

#include <algorithm>
#include <cstring>

#include "lif/file_types.h"

namespace tamrik {
namespace {

constexpr std::size_t kNameBytes = 10;
constexpr uint16_t kAcceptedVolumeWord75 = 0x8001;

// Sets the entry from its 32 bytes, of which the first `got` were read.
// Inlined into both cases of readEntry, so that a whole record's fields are
// read with plain shifts.
inline bool decodeRecord(LifDirEntry& entry, const unsigned char* raw, std::size_t got) {
  const auto field = [&](std::size_t offset, std::size_t width) {
    return recordFieldBE(raw, got, offset, width);
  };
  std::memcpy(entry.name.bytes.data(), raw, kNameBytes);
  entry.name.length = kNameBytes;
  const auto code = static_cast<uint16_t>(field(10, 2));
  entry.typeCode = static_cast<int16_t>(code);
  if (code == kEndOfDirectory) return false;
  entry.startSector = field(12, 4);
  entry.sectorCount = field(16, 4);
  std::memcpy(entry.stampBcd.data(), raw + 20, entry.stampBcd.size());
  entry.stamp = formatBcdStamp(entry.stampBcd);
  entry.volumeWord = static_cast<uint16_t>(field(26, 2));
  entry.implWord = field(28, 4);

  decodeFileType(entry);

  // Series 75 media mark their valid entries with this volume word; any other
  // value there means the rest of the directory cannot be trusted. The tag
  // is compared as one number, without a branch per byte: types come mixed.
  const MachineTag& tag = entry.machineTag;
  const uint32_t key = uint32_t{tag.length} << 16 |
                       uint32_t{static_cast<unsigned char>(tag.bytes[0])} << 8 |
                       static_cast<unsigned char>(tag.bytes[1]);
  const bool series75 = key == (2U << 16 | uint32_t{'7'} << 8 | uint32_t{'5'});
  return !series75 || entry.volumeWord == kAcceptedVolumeWord75;
}

}  // namespace

bool LifDirEntry::readEntry(const unsigned char* record, std::size_t available) {
  if (available < kEntryBytes) {
    // Cut short: what did not arrive reads as zero.
    unsigned char whole[kEntryBytes] = {};
    std::copy(record, record + available, whole);
    return decodeRecord(*this, whole, available);
  }
  return decodeRecord(*this, record, kEntryBytes);
}

}  // namespace tamrik
