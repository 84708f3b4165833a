// SPDX-License-Identifier: MIT
#include "lif/volume_faults.h"

#include <algorithm>
#include <cstdint>
#include <ios>
#include <string_view>
#include <vector>

namespace tamrik {
namespace {

// A file's sectors, [start, end), as 64-bit numbers so that no entry can
// wrap round to a small end.
struct Extent {
  uint64_t start;
  uint64_t end;
  const LifDirEntry* entry;
};

std::string nameOf(const LifDirEntry& entry) {
  std::string_view name = entry.name.view();
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.remove_suffix(1);
  return '"' + std::string(name) + '"';
}

// "sector 4" or "sectors 4 to 9".
std::string sectorRun(uint64_t start, uint64_t end) {
  if (end - start == 1) return "sector " + std::to_string(start);
  return "sectors " + std::to_string(start) + " to " + std::to_string(end - 1);
}

// ", and 1 more file does", ", and 3 more files do" after the first of
// several.
std::string more(std::size_t count, const char* one, const char* many) {
  if (count <= 1) return {};
  return ", and " + std::to_string(count - 1) + " more " + (count == 2 ? one : many);
}

}  // namespace

std::string volumeFaults(const LifVolume& volume, std::streambuf& image) {
  std::vector<Extent> files;
  files.reserve(volume.entries.size());
  for (const LifDirEntry& entry : volume.entries) {
    // A file of no sectors holds none that could clash.
    if (entry.sectorCount == 0) continue;
    files.push_back({entry.startSector, uint64_t{entry.startSector} + entry.sectorCount, &entry});
  }
  std::vector<std::string> clauses;

  // The header and the directory are the volume's own; sector 0 always is.
  const uint64_t dirEnd = uint64_t{volume.dirStart} + volume.dirLength;
  const auto own = [&](const Extent& file) {
    return file.start == 0 || (file.start < dirEnd && file.end > volume.dirStart);
  };
  const auto inOwn = std::count_if(files.begin(), files.end(), own);
  if (inOwn > 0) {
    const Extent& first = *std::find_if(files.begin(), files.end(), own);
    const bool header = first.start == 0;
    clauses.push_back("file " + nameOf(*first.entry) + " (" + sectorRun(first.start, first.end) +
                      ") lies in the volume's " +
                      (header ? std::string("header") : "directory (" +
                                                            sectorRun(volume.dirStart, dirEnd) +
                                                            ")") +
                      more(static_cast<std::size_t>(inOwn), "file does", "files do"));
  }

  // Sorted by start, each file clashes with the furthest-reaching one
  // before it if it starts before that one ends.
  std::vector<Extent> byStart = files;
  std::stable_sort(byStart.begin(), byStart.end(),
                   [](const Extent& a, const Extent& b) { return a.start < b.start; });
  std::size_t clashes = 0;
  std::string firstClash;
  const Extent* reach = nullptr;
  for (const Extent& file : byStart) {
    if (reach != nullptr && file.start < reach->end) {
      if (clashes++ == 0) {
        firstClash = "files " + nameOf(*reach->entry) + " and " + nameOf(*file.entry) +
                     " share " + sectorRun(file.start, std::min(file.end, reach->end));
      }
    }
    if (reach == nullptr || file.end > reach->end) reach = &file;
  }
  if (clashes > 0) clauses.push_back(firstClash + more(clashes, "pair of files does", "pairs of files do"));

  // The image's size costs a call of the system; a volume without files
  // needs none.
  uint64_t furthest = 0;
  for (const Extent& file : files) furthest = std::max(furthest, file.end);
  if (furthest > 0) {
    const std::streampos end = image.pubseekoff(0, std::ios_base::end, std::ios_base::in);
    if (end != std::streampos(std::streamoff(-1))) {
      // A sector cut short by the image's end is not all there either.
      const uint64_t held = static_cast<uint64_t>(std::streamoff(end)) / kSectorBytes;
      std::size_t past = 0;
      const Extent* first = nullptr;
      for (const Extent& file : files) {
        if (file.end <= held) continue;
        if (past++ == 0) first = &file;
      }
      if (first != nullptr) {
        const uint64_t missing = first->end - std::max(first->start, held);
        clauses.push_back("file " + nameOf(*first->entry) + " (" +
                          sectorRun(first->start, first->end) + ") passes the end of the image, " +
                          "which holds " + std::to_string(held) + " sectors: " +
                          std::to_string(missing) + (missing == 1 ? " sector is" : " sectors are") +
                          " missing" + more(past, "file does", "files do"));
      }
    }
  }

  std::string text;
  for (const std::string& clause : clauses) {
    if (!text.empty()) text += "; ";
    text += clause;
  }
  return text;
}

}  // namespace tamrik
