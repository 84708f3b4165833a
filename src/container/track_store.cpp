// SPDX-License-Identifier: MIT
#include "container/track_store.h"

#include <algorithm>
#include <cstring>

namespace tamrik::container {
namespace {

// The volume's sector size, ids and first cylinder and head, from the first
// track that has sectors with ids of their own; false when this one has none.
bool learnShape(TrackStore& store, const TrackRecord& record) {
  unsigned perSize[kMaxSizeCode + 1] = {};
  for (const SectorRecord& sector : record.sectors) {
    if (sector.madeUpId || sector.size == 0) continue;
    for (unsigned code = 0; code <= kMaxSizeCode; ++code) {
      if (sector.size == 128U << code) ++perSize[code];
    }
  }
  unsigned code = 0;
  for (unsigned c = 1; c <= kMaxSizeCode; ++c) {
    if (perSize[c] >= perSize[code]) code = c;
  }
  if (perSize[code] == 0) return false;
  const uint32_t sectorSize = store.sectorSize = 128U << code;

  bool seen[256] = {};
  const SectorRecord* first = nullptr;
  for (const SectorRecord& sector : record.sectors) {
    if (sector.madeUpId || sector.size != sectorSize) continue;
    seen[sector.id] = true;
    if (first == nullptr || sector.id < first->id) first = &sector;
  }
  store.firstId = first->id;
  store.firstCylinder = first->cylinder;
  store.firstHead = first->head;
  unsigned last = first->id;
  for (unsigned id = last + 1; id < 256 && id <= last + 2; ++id) {
    if (seen[id]) last = id;
  }
  store.idsPerTrack = last - first->id + 1;
  store.shapeKnown = true;
  return true;
}

// A track of zeros, within the bound.
bool allocate(TrackStore& store, TrackStore::Track& track) {
  const std::size_t trackBytes = std::size_t{store.sectorSize} * store.idsPerTrack;
  if (store.keptBytes + trackBytes > kMaxContainerBytes) return false;
  store.keptBytes += trackBytes;
  track.bytes.assign(trackBytes, 0);
  track.present.assign(store.idsPerTrack, false);
  return true;
}

}  // namespace

bool TrackStore::place(const TrackRecord& record) {
  if (!shapeKnown && !learnShape(*this, record)) return true;
  ++records;
  for (const SectorRecord& sector : record.sectors) {
    if (!sector.madeUpId && sector.cylinder >= firstCylinder + 2) pastSecondCylinder = true;
  }
  for (const SectorRecord& sector : record.sectors) {
    if (sector.madeUpId || sector.size != sectorSize || sector.id < firstId ||
        sector.id - firstId >= idsPerTrack || sector.cylinder < firstCylinder ||
        sector.head < firstHead || sector.head - firstHead > 1) {
      continue;
    }
    const unsigned head = sector.head - firstHead;
    if (heads == 1 && head == 1) continue;
    const unsigned cylinder = sector.cylinder - firstCylinder;
    if (2 * cylinder + head >= tracks.size()) tracks.resize(2 * cylinder + 2);
    Track& track = tracks[2 * cylinder + head];
    if (track.bytes.empty()) {
      if (!allocate(*this, track)) return false;
      track.record = records;
      lastCylinder[head] = std::max(lastCylinder[head], static_cast<int>(cylinder));
      if (head == 1 && !pastSecondCylinder) secondHead = true;
    } else if (track.record != records) {
      continue;
    }
    const unsigned slot = sector.id - firstId;
    if (track.present[slot]) continue;
    track.present[slot] = true;
    if (sector.hasData) {
      std::memcpy(track.bytes.data() + std::size_t{slot} * sectorSize,
                  record.data.data() + sector.dataOffset, sectorSize);
    }
  }
  return true;
}

TrackStore::Span TrackStore::find(uint64_t offset, bool ended) {
  if (!shapeKnown) return {ended ? Found::kEnd : Found::kMore};
  const uint64_t trackBytes = uint64_t{sectorSize} * idsPerTrack;
  const uint64_t index = offset / trackBytes;
  if (index > 0 && heads == 0) {
    if (secondHead) {
      heads = 2;
    } else if (pastSecondCylinder || ended) {
      heads = 1;
      // The other side holds something else: let it go.
      for (std::size_t other = 1; other < tracks.size(); other += 2) {
        keptBytes -= tracks[other].bytes.size();
        tracks[other] = Track{};
      }
    } else {
      return {Found::kMore};
    }
  }
  const uint64_t cylinder = heads == 0 ? 0 : index / heads;
  const uint64_t head = heads == 0 ? 0 : index % heads;
  if (cylinder >= 256) return {Found::kEnd};
  const auto at = static_cast<std::size_t>(2 * cylinder + head);
  if (at >= tracks.size()) tracks.resize(at / 2 * 2 + 2);
  Track& track = tracks[at];
  if (track.bytes.empty()) {
    if (!ended) return {Found::kMore};
    const int last = std::max(lastCylinder[0], heads == 2 ? lastCylinder[1] : -1);
    if (static_cast<int64_t>(cylinder) > last || !allocate(*this, track)) return {Found::kEnd};
  }
  char* begin = track.bytes.data();
  return {Found::kData, begin, begin + offset % trackBytes, begin + trackBytes};
}

}  // namespace tamrik::container
