// SPDX-License-Identifier: MIT
#include "lif/volume_faults.h"

#include <algorithm>
#include <cstdint>
#include <ios>
#include <string_view>
#include <vector>

#include "reason/reason.h"

namespace tamrik {
namespace {

// A file's sectors, [start, end), as 64-bit numbers so that no entry can
// wrap round to a small end.
struct Extent {
  uint64_t start;
  uint64_t end;
  const LifDirEntry* entry;
};

Extent extentOf(const LifDirEntry& entry) {
  return {entry.startSector, uint64_t{entry.startSector} + entry.sectorCount, &entry};
}

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
  return fill(", and {} more {}"_reason, {std::to_string(count - 1), count == 2 ? one : many});
}

// Files that share sectors, met in order of their starts: each clashes with
// the furthest-reaching one before it when it starts before that one ends.
struct Clashes {
  std::size_t count = 0;
  Extent reach{0, 0, nullptr};
  Extent first{0, 0, nullptr};  // the first file found to clash
  Extent firstWith{0, 0, nullptr};

  void add(const Extent& file) {
    if (reach.entry != nullptr && file.start < reach.end) {
      if (count++ == 0) {
        first = file;
        firstWith = reach;
      }
    }
    if (reach.entry == nullptr || file.end > reach.end) reach = file;
  }
};

// A pass over the entries that finds whether any file may clash or lie in
// the volume's own sectors, and how far the files reach. A sound volume,
// its files in the order of their starts, needs no more than this.
struct Outline {
  bool suspect = false;
  uint64_t furthest = 0;
};

Outline outline(const LifVolume& volume, uint64_t dirEnd) {
  Outline found;
  bool clash = false;
  // No branch for a file of no sectors: at worst it sends the volume to
  // the closer look, which leaves it out.
  for (const LifDirEntry& entry : volume.entries) {
    const uint64_t start = entry.startSector;
    const uint64_t end = start + entry.sectorCount;
    // A file that starts before the ones before it reach clashes with one
    // of them, or comes out of order; either wants the closer look.
    clash |= start < found.furthest;
    found.furthest = std::max(found.furthest, end);
  }
  // Without a clash the starts rise, so the first file starts lowest; only
  // a file that starts before the directory's end can lie in the header or
  // the directory.
  const uint64_t firstStart = volume.entries.empty() ? dirEnd : volume.entries.front().startSector;
  found.suspect = clash || firstStart < dirEnd || firstStart == 0;
  return found;
}

// How many whole sectors the image holds; all there may be when it cannot
// tell. The size costs a call of the system; a volume without files needs
// none.
uint64_t sectorsHeld(std::streambuf& image, uint64_t furthest) {
  if (furthest == 0) return UINT64_MAX;
  const std::streampos end = image.pubseekoff(0, std::ios_base::end, std::ios_base::in);
  // A sector cut short by the image's end is not all there either.
  return end == std::streampos(std::streamoff(-1))
             ? UINT64_MAX
             : static_cast<uint64_t>(std::streamoff(end)) / kSectorBytes;
}

// The words for a volume that has faults, found again in full.
std::string describeFaults(const LifVolume& volume, const Outline& found, uint64_t held) {
  const uint64_t dirEnd = uint64_t{volume.dirStart} + volume.dirLength;
  std::size_t inOwn = 0;
  Extent firstOwn{0, 0, nullptr};
  Clashes clashes;
  if (found.suspect) {
    std::vector<Extent> files;
    for (const LifDirEntry& entry : volume.entries) {
      if (entry.sectorCount == 0) continue;
      const Extent file = extentOf(entry);
      if (file.start == 0 || (file.start < dirEnd && file.end > volume.dirStart)) {
        if (inOwn++ == 0) firstOwn = file;
      }
      files.push_back(file);
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const Extent& a, const Extent& b) { return a.start < b.start; });
    for (const Extent& file : files) clashes.add(file);
  }
  const uint64_t furthest = found.furthest;
  std::vector<std::string> clauses;
  if (inOwn > 0) {
    const std::string where =
        firstOwn.start == 0 ? std::string("header")
                            : fill("directory ({})"_reason, {sectorRun(volume.dirStart, dirEnd)});
    clauses.push_back(
        fill("file {} ({}) lies in the volume's {}"_reason,
             {nameOf(*firstOwn.entry), sectorRun(firstOwn.start, firstOwn.end), where}) +
        more(inOwn, "file does", "files do"));
  }
  if (clashes.count > 0) {
    clauses.push_back(
        fill("files {} and {} share {}"_reason,
             {nameOf(*clashes.firstWith.entry), nameOf(*clashes.first.entry),
              sectorRun(clashes.first.start, std::min(clashes.first.end, clashes.firstWith.end))}) +
        more(clashes.count, "pair of files does", "pairs of files do"));
  }
  if (furthest > held) {
    std::size_t past = 0;
    Extent first{0, 0, nullptr};
    for (const LifDirEntry& entry : volume.entries) {
      const Extent file = extentOf(entry);
      if (entry.sectorCount == 0 || file.end <= held) continue;
      if (past++ == 0) first = file;
    }
    if (past > 0) {
      const uint64_t missing = first.end - std::max(first.start, held);
      clauses.push_back(
          fill(
              missing == 1
                  ? "file {} ({}) passes the end of the image, which holds {} sectors: {} sector is missing"_reason
                  : "file {} ({}) passes the end of the image, which holds {} sectors: {} sectors are missing"_reason,
              {nameOf(*first.entry), sectorRun(first.start, first.end), std::to_string(held),
               std::to_string(missing)}) +
          more(past, "file does", "files do"));
    }
  }

  std::string text;
  for (const std::string& clause : clauses) {
    if (!text.empty()) text += "; ";
    text += clause;
  }
  return text;
}

}  // namespace

std::string volumeFaults(const LifVolume& volume, std::streambuf& image) {
  const Outline found = outline(volume, uint64_t{volume.dirStart} + volume.dirLength);
  const uint64_t held = sectorsHeld(image, found.furthest);
  if (!found.suspect && found.furthest <= held) return {};
  return describeFaults(volume, found, held);
}

}  // namespace tamrik
