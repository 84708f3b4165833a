#include "listing/directory_table.h"

#include <algorithm>
#include <string>

namespace tamrik {

void printDirectoryTable(LifVolume& volume, bool sortByName, bool alwaysBytes,
                         const LineWriter& writer) {
  writer.line(kTableHeader);
  if (sortByName) std::sort(volume.entries.begin(), volume.entries.end());

  uint32_t row = 1;
  std::string line;
  for (const LifDirEntry& entry : volume.entries) {
    if (entry.sizeBytes == 0) continue;

    std::string flags;
    if (entry.flagS) flags += 'S';
    if (entry.flagP) flags += 'P';
    if (entry.flagA) flags += 'A';

    const bool inRegisters = !alwaysBytes && entry.regCount != 0;
    const uint32_t size = inRegisters ? entry.regCount : entry.sizeBytes;

    line.clear();
    appendRight(line, std::to_string(row), 3);
    line += ".  ";
    appendLeft(line, writer.shown(entry.name), 12);
    appendLeft(line, entry.typeName, 7);
    appendLeft(line, entry.machineTag, 7);
    appendLeft(line, flags, 3);
    appendRight(line, std::to_string(size), 8);
    appendRight(line, inRegisters ? "regs " : "bytes", 6);
    appendRight(line, std::to_string(entry.startSector), 6);
    appendRight(line, std::to_string(entry.sectorCount), 6);
    line += "   ";
    line += entry.stamp.substr(0, 9);
    line += ' ';
    line += entry.stamp.substr(9, 5);
    writer.line(line);
    ++row;
  }
  writer.line("End of Directory");
}

}  // namespace tamrik
