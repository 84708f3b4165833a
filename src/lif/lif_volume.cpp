// SPDX-License-Identifier: MIT
#include "lif/lif_volume.h"

#include <algorithm>

namespace tamrik {
namespace {

constexpr std::size_t kLabelBytes = 6;

}  // namespace

bool LifVolume::readHeader() {
  stream.clear();
  stream.seekg(0);
  readBE16(stream, lifId);
  if (lifId != kLifId) return false;

  label = readFixedText(stream, kLabelBytes);
  readBE32(stream, dirStart);
  readBE16(stream, auxWord);
  uint16_t ignored = 0;
  readBE16(stream, ignored);
  readBE32(stream, dirLength);
  readBE16(stream, version);
  readBE16(stream, ignored);
  readBE32(stream, tracks);
  readBE32(stream, surfaces);
  readBE32(stream, sectorsPerTrack);
  initBcd = readBcdStamp(stream);
  initStamp = formatBcdStamp(initBcd);

  if (version == 0 && tracks == 0 && surfaces == 0 && sectorsPerTrack == 0) {
    version = 1;
    tracks = 77;
    surfaces = 2;
    sectorsPerTrack = 16;
  }
  return stream.good();
}

bool LifVolume::readDirectory() {
  if (!readHeader()) return false;
  usedCount = 0;
  stream.clear();
  // Formed in 64 bits so that no header value can wrap to a smaller offset
  // or slot count; a directory beyond the end of the image fails to read.
  stream.seekg(static_cast<std::streamoff>(uint64_t{dirStart} * kSectorBytes));
  uint64_t slotsLeft = uint64_t{dirLength} * (kSectorBytes / kEntryBytes);
  // Room for a floppy's directory up front, so that a typical scan does not
  // move its entries while the list grows; a larger directory grows as usual,
  // and a header's claim of a huge one costs nothing until entries are found.
  entries.reserve(static_cast<std::size_t>(std::min<uint64_t>(slotsLeft, 128)));
  while (stream.good() && slotsLeft > 0) {
    --slotsLeft;
    // Read apart and moved in only when kept: reading into the list itself
    // would grow a full list for the end marker that is dropped again.
    LifDirEntry entry;
    if (!entry.readEntry(stream)) break;
    if (entry.typeCode != 0) {
      ++usedCount;
      entries.push_back(std::move(entry));
    }
  }
  return stream.good();
}

}  // namespace tamrik
