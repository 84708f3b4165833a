// SPDX-License-Identifier: MIT
#include "container/read_log.h"

#include <algorithm>
#include <cstddef>

#include "reason/reason.h"

namespace tamrik::container {
namespace {

struct Clause {
  SectorState state;
  const char* one;   // after a single sector
  const char* many;  // after several
};

constexpr Clause kClauses[] = {
    {SectorState::kAbsent, "is not in the file"_reason, "are not in the file"_reason},
    {SectorState::kNoData, "was recorded without data; it was read as zeros"_reason,
     "were recorded without data; they were read as zeros"_reason},
    {SectorState::kDataError, "was recorded with a data error; it is shown as recorded"_reason,
     "were recorded with a data error; they are shown as recorded"_reason},
    {SectorState::kUndecoded,
     "is stored in an encoding that is not known; it was read as zeros"_reason,
     "are stored in an encoding that is not known; they were read as zeros"_reason},
};

uint8_t bitOf(SectorState state) {
  return static_cast<uint8_t>(1U << static_cast<unsigned>(state));
}

// "2", "2 and 3", "2 to 9", "2, 5 to 7 and 9".
std::string numbers(const std::vector<uint64_t>& sorted) {
  std::vector<std::string> runs;
  for (std::size_t i = 0; i < sorted.size();) {
    std::size_t j = i;
    while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1) ++j;
    if (j - i >= 2) {
      runs.push_back(std::to_string(sorted[i]) + " to " + std::to_string(sorted[j]));
    } else {
      for (std::size_t k = i; k <= j; ++k) runs.push_back(std::to_string(sorted[k]));
    }
    i = j + 1;
  }
  std::string text;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    if (i > 0) text += i + 1 == runs.size() ? " and " : ", ";
    text += runs[i];
  }
  return text;
}

// "header sector 0", "directory sectors 2 to 4", or both joined.
std::string sectors(const std::vector<uint64_t>& sorted) {
  const bool header = !sorted.empty() && sorted.front() == 0;
  const std::vector<uint64_t> directory(sorted.begin() + (header ? 1 : 0), sorted.end());
  std::string text = header ? "header sector 0" : "";
  if (!directory.empty()) {
    if (header) text += " and ";
    text += directory.size() == 1 ? "directory sector " : "directory sectors ";
    text += numbers(directory);
  }
  return text;
}

}  // namespace

void ReadLog::read(uint64_t block, SectorState state) {
  if (state == SectorState::kWhole) return;
  if (blocks.empty() || blocks.back().number < block) {
    blocks.push_back({block, bitOf(state)});
    return;
  }
  const auto at = std::lower_bound(blocks.begin(), blocks.end(), block,
                                   [](const Block& b, uint64_t n) { return b.number < n; });
  if (at == blocks.end() || at->number != block) {
    blocks.insert(at, {block, bitOf(state)});
  } else {
    at->states |= bitOf(state);
  }
}

std::string describe(const ReadLog& log) {
  std::string text;
  const auto add = [&text](const std::string& clause) {
    if (!text.empty()) text += "; ";
    text += clause;
  };
  bool damageTold = false;
  for (const Clause& clause : kClauses) {
    std::vector<uint64_t> found;
    for (const ReadLog::Block& block : log.blocks) {
      if ((block.states & bitOf(clause.state)) != 0) found.push_back(block.number);
    }
    if (found.empty()) continue;
    std::string words = sectors(found) + ' ' + (found.size() == 1 ? clause.one : clause.many);
    if (clause.state == SectorState::kAbsent) {
      // What is missing may well be what the damage took.
      if (!log.damage.empty()) {
        words += fill(", which is damaged ({})"_reason, {log.damage});
        damageTold = true;
      }
      words +=
          found.size() == 1 ? "; it was read as zeros"_reason : "; they were read as zeros"_reason;
    }
    add(words);
  }
  if (!log.strays.empty()) {
    std::string which;
    for (std::size_t i = 0; i < log.strays.size(); ++i) {
      const ReadLog::Stray& stray = log.strays[i];
      if (i > 0) which += i + 1 == log.strays.size() ? " and " : ", ";
      which += fill(
          "{} on cylinder {} head {}",
          {std::to_string(stray.id), std::to_string(stray.cylinder), std::to_string(stray.head)});
    }
    add(fill(
        log.strays.size() == 1
            ? "sector id {} lies outside the disk's numbering (ids {} to {}); it was left out"_reason
            : "sector ids {} lie outside the disk's numbering (ids {} to {}); they were left out"_reason,
        {which, std::to_string(log.firstId), std::to_string(log.lastId)}));
  }
  if (log.endReached && !log.damage.empty() && !damageTold) {
    add(fill("the file is damaged ({})"_reason, {log.damage}));
  } else if (log.noSectors && log.damage.empty()) {
    add("the file holds no sectors"_reason);
  }
  return text;
}

std::string describeSectors(const ReadLog& log, uint64_t first, uint64_t end) {
  std::string text;
  for (const Clause& clause : kClauses) {
    std::vector<uint64_t> found;
    for (const ReadLog::Block& block : log.blocks) {
      if ((block.states & bitOf(clause.state)) != 0 && block.number >= first &&
          block.number < end) {
        found.push_back(block.number);
      }
    }
    if (found.empty()) continue;
    if (!text.empty()) text += "; ";
    text += (found.size() == 1 ? "sector " : "sectors ") + numbers(found) + ' ' +
            (found.size() == 1 ? clause.one : clause.many);
    if (clause.state == SectorState::kAbsent) {
      text +=
          found.size() == 1 ? "; it was read as zeros"_reason : "; they were read as zeros"_reason;
    }
  }
  return text;
}

}  // namespace tamrik::container
