// SPDX-License-Identifier: MIT
#include "listing/directory_table.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tamrik {
namespace {

// Everything of a row after its number.
void appendFields(LineBuffer& line, const LifDirEntry& entry, bool alwaysBytes,
                  const LineWriter& writer) {
  const bool inRegisters = !alwaysBytes && entry.regCount != 0;

  line.append(".  ");
  const std::size_t nameAt = line.size();
  writer.appendShown(line, entry.name);
  line.padTo(nameAt + 12);
  line.appendLeft(entry.typeName, 7);
  line.appendLeft(entry.machineTag, 7);
  const std::size_t flagsAt = line.size();
  if (entry.flagS) line.append('S');
  if (entry.flagP) line.append('P');
  if (entry.flagA) line.append('A');
  line.padTo(flagsAt + 3);
  line.appendDecimal(inRegisters ? entry.regCount : entry.sizeBytes, 8);
  line.append(inRegisters ? std::string_view(" regs ") : std::string_view(" bytes"));
  line.appendDecimal(entry.startSector, 6);
  line.appendDecimal(entry.sectorCount, 6);
  line.append("   ");
  // Date and the blank after it, then HH:MM of the time: the stamp always
  // has its 17 characters.
  line.append(std::string_view(entry.stamp.data(), 9));
  line.append(' ');
  line.append(std::string_view(entry.stamp.data() + 9, 5));
}

// A listed entry in name order, with its row formatted but for the number:
// the first eight name bytes as one number decide most comparisons without
// touching the entry. Equal names keep directory order, which is the order
// of the entries in memory, so that every standard library gives the same
// rows.
struct SortKey {
  uint64_t prefix;
  const LifDirEntry* entry;
  std::size_t fieldsAt;
  std::size_t fieldsSize;

  bool operator<(const SortKey& other) const {
    if (prefix != other.prefix) return prefix < other.prefix;
    if (*entry < *other.entry) return true;
    if (*other.entry < *entry) return false;
    return entry < other.entry;
  }
};

uint64_t namePrefix(std::string_view name) {
  // Missing bytes count as NUL; the entry order then decides a tie, so a
  // name that is a prefix of another still sorts first.
  uint64_t prefix = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    const auto byte = i < name.size() ? static_cast<unsigned char>(name[i]) : 0U;
    prefix = prefix << 8 | byte;
  }
  return prefix;
}

}  // namespace

void printDirectoryTable(const LifVolume& volume, bool sortByName, bool alwaysBytes,
                         const LineWriter& writer) {
  writer.line(kTableHeader);
  LineBuffer line;
  uint32_t row = 1;

  if (!sortByName) {
    for (const LifDirEntry& entry : volume.entries) {
      if (entry.sizeBytes == 0) continue;
      line.appendDecimal(row++, 3);
      appendFields(line, entry, alwaysBytes, writer);
      writer.line(line);
    }
  } else {
    // The rows are formatted while the entries are visited in memory order
    // and only then put in name order; the entries themselves stay where
    // they are. A large directory does not fit the cache, and reading its
    // records in name order would wait on memory for every row.
    std::vector<SortKey> order;
    order.reserve(volume.entries.size());
    std::string fields;
    fields.reserve(volume.entries.size() * 80);
    for (const LifDirEntry& entry : volume.entries) {
      if (entry.sizeBytes == 0) continue;
      appendFields(line, entry, alwaysBytes, writer);
      order.push_back({namePrefix(entry.name), &entry, fields.size(), line.size()});
      fields += line.text();
      line.clear();
    }
    std::sort(order.begin(), order.end());
    for (const SortKey& key : order) {
      line.appendDecimal(row++, 3);
      line.append(std::string_view(fields).substr(key.fieldsAt, key.fieldsSize));
      writer.line(line);
    }
  }
  writer.line("End of Directory");
}

}  // namespace tamrik
