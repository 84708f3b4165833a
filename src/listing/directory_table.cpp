// SPDX-License-Identifier: MIT
#include "listing/directory_table.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tamrik {
namespace {

// A row: its number, then the entry's fields. Name, type, tag and flags
// never outgrow their columns and go to fixed places after the number; a
// number wider than its column moves the rest of the row right.
constexpr std::size_t kNameAt = 3;
constexpr std::size_t kTypeAt = kNameAt + 12;
constexpr std::size_t kTagAt = kTypeAt + 7;
constexpr std::size_t kFlagsAt = kTagAt + 7;
constexpr std::size_t kSizeAt = kFlagsAt + 3;
// Four numbers of ten digits where the columns give 3, 8, 6 and 6, and the
// fixed fields after them.
constexpr std::size_t kWidestRow = 10 + kSizeAt + 10 + 6 + 10 + 10 + 3 + 9 + 1 + 5;

void appendRow(LineBuffer& line, uint32_t number, const LifDirEntry& entry, bool alwaysBytes,
               const LineWriter& writer) {
  const bool inRegisters = !alwaysBytes && entry.regCount != 0;
  line.appendInPlace(kWidestRow, [&](char* const start) {
    char* const row = putDecimal(start, number, 3);
    putLiteral(row, ".  ");
    writer.putShown(row + kNameAt, entry.name);
    putText(row + kTypeAt, entry.typeName);
    putText(row + kTagAt, entry.machineTag);
    // Each letter is written and kept only when its flag is set; the place
    // after the last kept one is blanked again. Flags come mixed, so this
    // spares a guess per letter.
    char* flag = row + kFlagsAt;
    *flag = 'S';
    flag += entry.flagS ? 1 : 0;
    *flag = 'P';
    flag += entry.flagP ? 1 : 0;
    *flag = 'A';
    flag += entry.flagA ? 1 : 0;
    *flag = ' ';
    char* at = putDecimal(row + kSizeAt, inRegisters ? entry.regCount : entry.sizeBytes, 8);
    at = std::copy_n(inRegisters ? " regs " : " bytes", 6, at);
    at = putDecimal(at, entry.startSector, 6);
    at = putDecimal(at, entry.sectorCount, 6);
    // Date and the blank after it, then HH:MM of the time: the stamp always
    // has its 17 characters.
    std::memcpy(at + 3, entry.stamp.data(), 9);
    std::memcpy(at + 13, entry.stamp.data() + 9, 5);
    return at + 18;
  });
}

// A listed entry's place in name order as two numbers: the name's first
// eight bytes, then its last two, its length and the entry's index. Bytes
// past the length count as NUL and a shorter name comes first, as in the
// entries' own order; equal names keep directory order. Keys compare
// without touching the entries, and every standard library sorts them
// alike.
constexpr int kIndexBits = 44;

struct SortKey {
  uint64_t head;
  uint64_t tail;

  bool operator<(const SortKey& other) const {
    return head != other.head ? head < other.head : tail < other.tail;
  }
  std::size_t index() const {
    return static_cast<std::size_t>(tail & ((uint64_t{1} << kIndexBits) - 1));
  }
};

SortKey sortKey(const FileName& name, std::size_t index) {
  // A name as read is ten bytes; only a shorter one needs its bytes tested.
  const bool whole = name.size() == name.bytes.size();
  const auto byte = [&](std::size_t i) -> uint64_t {
    return whole || i < name.size() ? static_cast<unsigned char>(name.bytes[i]) : 0U;
  };
  uint64_t head = 0;
  for (std::size_t i = 0; i < 8; ++i) head = head << 8 | byte(i);
  const uint64_t tail = byte(8) << 8 | byte(9);
  return {head, tail << 48 | uint64_t{name.size()} << kIndexBits | index};
}

// The keys of the rows, sorted: only they move, not the entries.
std::vector<SortKey> nameOrder(const LifVolume& volume) {
  std::vector<SortKey> order;
  order.reserve(volume.entries.size());
  for (std::size_t i = 0; i < volume.entries.size(); ++i) {
    if (volume.entries[i].sizeBytes != 0) order.push_back(sortKey(volume.entries[i].name, i));
  }
  std::sort(order.begin(), order.end());
  return order;
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
      appendRow(line, row++, entry, alwaysBytes, writer);
      writer.line(line);
    }
  } else {
    // The entries of a few rows are copied together before their rows are
    // written: their reads from all over a large list then wait on memory
    // at once, where a system call after each row would make every row
    // wait on its own.
    const std::vector<SortKey> order = nameOrder(volume);
    constexpr std::size_t kBatch = 16;
    std::array<LifDirEntry, kBatch> batch;
    for (std::size_t first = 0; first < order.size(); first += kBatch) {
      const std::size_t count = std::min(kBatch, order.size() - first);
      for (std::size_t i = 0; i < count; ++i) batch[i] = volume.entries[order[first + i].index()];
      for (std::size_t i = 0; i < count; ++i) {
        appendRow(line, row++, batch[i], alwaysBytes, writer);
        writer.line(line);
      }
    }
  }
  writer.line("End of Directory");
}

std::vector<const LifDirEntry*> tableRows(const LifVolume& volume, bool sortByName) {
  std::vector<const LifDirEntry*> rows;
  if (!sortByName) {
    for (const LifDirEntry& entry : volume.entries) {
      if (entry.sizeBytes != 0) rows.push_back(&entry);
    }
    return rows;
  }
  const std::vector<SortKey> order = nameOrder(volume);
  rows.reserve(order.size());
  for (const SortKey& key : order) {
    rows.push_back(&volume.entries[key.index()]);
  }
  return rows;
}

}  // namespace tamrik
