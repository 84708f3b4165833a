// SPDX-License-Identifier: MIT
#include "listing/directory_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tamrik {
namespace {

// Everything of a row after its number. Name, type, tag and flags never
// outgrow their columns and go to fixed places; a number wider than its
// column moves the rest of the row right.
constexpr std::size_t kNameAt = 3;
constexpr std::size_t kTypeAt = kNameAt + 12;
constexpr std::size_t kTagAt = kTypeAt + 7;
constexpr std::size_t kFlagsAt = kTagAt + 7;
constexpr std::size_t kSizeAt = kFlagsAt + 3;
// Three numbers of ten digits where the columns give 8, 6 and 6, and the
// fixed fields after them.
constexpr std::size_t kWidestFields = kSizeAt + 10 + 6 + 10 + 10 + 3 + 9 + 1 + 5;

void appendFields(LineBuffer& line, const LifDirEntry& entry, bool alwaysBytes,
                  const LineWriter& writer) {
  const bool inRegisters = !alwaysBytes && entry.regCount != 0;
  line.appendInPlace(kWidestFields, [&](char* const row) {
    std::memcpy(row, ".  ", 3);
    writer.putShown(row + kNameAt, entry.name);
    putText(row + kTypeAt, entry.typeName);
    putText(row + kTagAt, entry.machineTag);
    char* flag = row + kFlagsAt;
    if (entry.flagS) *flag++ = 'S';
    if (entry.flagP) *flag++ = 'P';
    if (entry.flagA) *flag = 'A';
    char* at = putDecimal(row + kSizeAt, inRegisters ? entry.regCount : entry.sizeBytes, 8);
    std::memcpy(at, inRegisters ? " regs " : " bytes", 6);
    at = putDecimal(at + 6, entry.startSector, 6);
    at = putDecimal(at, entry.sectorCount, 6);
    // Date and the blank after it, then HH:MM of the time: the stamp always
    // has its 17 characters.
    std::memcpy(at + 3, entry.stamp.data(), 9);
    std::memcpy(at + 13, entry.stamp.data() + 9, 5);
    return at + 18;
  });
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
