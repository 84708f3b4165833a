// SPDX-License-Identifier: MIT
#include "listing/volume_summary.h"

#include <string>

namespace tamrik {

uint32_t endOfUsedSpace(const LifVolume& volume) {
  for (auto it = volume.entries.rbegin(); it != volume.entries.rend(); ++it) {
    if (it->typeCode != 0) return (it->startSector + it->sectorCount) * kSectorBytes;
  }
  return 0;
}

void printVolumeSummary(const LifVolume& volume, const LineWriter& writer) {
  const std::string label = volume.label.substr(0, volume.label.find('\0'));
  writer.line("Volume label: " + writer.shown(label));

  writer.line("Initialized   " + volume.initStamp.substr(0, 9) + " " +
              volume.initStamp.substr(9, 8));

  // All counts are 32-bit, as on the machines that wrote the volume; the
  // free bytes go negative when the last file ends beyond the volume.
  const uint32_t capacity = volume.dirLength * 8;
  const uint32_t freeEntries = capacity - volume.usedCount;
  const uint32_t total = volume.tracks * volume.surfaces * volume.sectorsPerTrack * kSectorBytes;
  const auto freeBytes = static_cast<int32_t>(total - endOfUsedSpace(volume));

  std::string line;
  appendLeft(line,
             "Max " + std::to_string(capacity) + " entries, unused " + std::to_string(freeEntries),
             42);
  line += "Total " + std::to_string(total) + " bytes, unused " + std::to_string(freeBytes);
  writer.line(line);
  writer.line("");
}

}  // namespace tamrik
