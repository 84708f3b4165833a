// SPDX-License-Identifier: MIT
#include "listing/volume_summary.h"

#include <string_view>

namespace tamrik {

uint32_t endOfUsedSpace(const LifVolume& volume) {
  if (volume.entries.empty()) return 0;
  const LifDirEntry& last = volume.entries.back();
  return (last.startSector + last.sectorCount) * kSectorBytes;
}

uint32_t entryCapacity(const LifVolume& volume) {
  return volume.dirLength * static_cast<uint32_t>(kSectorBytes / kEntryBytes);
}

uint32_t totalBytes(const LifVolume& volume) {
  return volume.tracks * volume.surfaces * volume.sectorsPerTrack * kSectorBytes;
}

void printVolumeSummary(const LifVolume& volume, const LineWriter& writer) {
  LineBuffer line;
  const std::string_view label = volume.label;
  line.append("Volume label: ");
  writer.appendShown(line, label.substr(0, label.find('\0')));
  writer.line(line);

  const std::string_view stamp = volume.initStamp;
  line.append("Initialized   ");
  line.append(stamp.substr(0, 9));
  line.append(' ');
  line.append(stamp.substr(9, 8));
  writer.line(line);

  // The free bytes go negative when the last file ends beyond the volume.
  const uint32_t capacity = entryCapacity(volume);
  const uint32_t freeEntries = capacity - static_cast<uint32_t>(volume.entries.size());
  const uint32_t total = totalBytes(volume);
  const auto freeBytes = static_cast<int32_t>(total - endOfUsedSpace(volume));

  line.append("Max ");
  line.appendDecimal(capacity);
  line.append(" entries, unused ");
  line.appendDecimal(freeEntries);
  line.padTo(42);
  line.append("Total ");
  line.appendDecimal(total);
  line.append(" bytes, unused ");
  if (freeBytes < 0) line.append('-');
  // Negated in unsigned arithmetic, which also holds for the lowest value.
  line.appendDecimal(freeBytes < 0 ? 0U - static_cast<uint32_t>(freeBytes)
                                   : static_cast<uint32_t>(freeBytes));
  writer.line(line);
  writer.line("");
}

}  // namespace tamrik
