// SPDX-License-Identifier: MIT
#include "listing/directory_table.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

namespace tamrik {
namespace {

// The decimal digits of a count, kept on the stack.
class Decimal {
 public:
  explicit Decimal(uint32_t value)
      : size_(static_cast<std::size_t>(std::to_chars(digits_, digits_ + sizeof digits_, value).ptr -
                                       digits_)) {}
  std::string_view text() const { return {digits_, size_}; }

 private:
  char digits_[10];
  std::size_t size_;
};

}  // namespace

void printDirectoryTable(LifVolume& volume, bool sortByName, bool alwaysBytes,
                         const LineWriter& writer) {
  writer.line(kTableHeader);
  if (sortByName) std::sort(volume.entries.begin(), volume.entries.end());

  uint32_t row = 1;
  std::string line;
  line.reserve(96);
  for (const LifDirEntry& entry : volume.entries) {
    if (entry.sizeBytes == 0) continue;

    char flags[3];
    std::size_t flagCount = 0;
    if (entry.flagS) flags[flagCount++] = 'S';
    if (entry.flagP) flags[flagCount++] = 'P';
    if (entry.flagA) flags[flagCount++] = 'A';

    const bool inRegisters = !alwaysBytes && entry.regCount != 0;
    const uint32_t size = inRegisters ? entry.regCount : entry.sizeBytes;

    // Built in one reused string with the numbers formatted in place: this
    // loop runs once per entry, and allocations were most of its cost.
    line.clear();
    appendRight(line, Decimal(row).text(), 3);
    line += ".  ";
    const std::size_t nameAt = line.size();
    writer.appendShown(line, entry.name);
    if (line.size() < nameAt + 12) line.resize(nameAt + 12, ' ');
    appendLeft(line, entry.typeName, 7);
    appendLeft(line, entry.machineTag, 7);
    appendLeft(line, std::string_view(flags, flagCount), 3);
    appendRight(line, Decimal(size).text(), 8);
    appendRight(line, inRegisters ? "regs " : "bytes", 6);
    appendRight(line, Decimal(entry.startSector).text(), 6);
    appendRight(line, Decimal(entry.sectorCount).text(), 6);
    line += "   ";
    line.append(entry.stamp, 0, 9);
    line += ' ';
    line.append(entry.stamp, 9, 5);
    writer.line(line);
    ++row;
  }
  writer.line("End of Directory");
}

}  // namespace tamrik
