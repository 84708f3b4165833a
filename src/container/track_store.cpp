// SPDX-License-Identifier: MIT
#include "container/track_store.h"

#include <algorithm>
#include <cstring>

namespace tamrik::container {
namespace {

bool hasOwnId(const SectorRecord& sector) {
  return !sector.madeUpId && sector.size != 0;
}

// The volume's sector size, ids, first cylinder and head, and heads, from
// the sectors of the first two cylinders among the waiting records; false
// when no record has sectors with ids of their own.
bool learnShape(TrackStore& store) {
  unsigned low = 256;
  for (const TrackRecord& record : store.waiting) {
    for (const SectorRecord& sector : record.sectors) {
      if (hasOwnId(sector)) low = std::min<unsigned>(low, sector.cylinder);
    }
  }
  if (low == 256) return false;
  const auto early = [low](const SectorRecord& sector) {
    return hasOwnId(sector) && sector.cylinder - low < 2;
  };

  unsigned perSize[kMaxSizeCode + 1] = {};
  for (const TrackRecord& record : store.waiting) {
    for (const SectorRecord& sector : record.sectors) {
      if (!early(sector)) continue;
      for (unsigned code = 0; code <= kMaxSizeCode; ++code) {
        if (sector.size == 128U << code) ++perSize[code];
      }
    }
  }
  unsigned code = 0;
  for (unsigned c = 1; c <= kMaxSizeCode; ++c) {
    if (perSize[c] >= perSize[code]) code = c;
  }
  const uint32_t sectorSize = store.sectorSize = 128U << code;

  bool seen[256] = {};
  unsigned firstId = 255;
  unsigned firstHead = 255;
  for (const TrackRecord& record : store.waiting) {
    for (const SectorRecord& sector : record.sectors) {
      if (!early(sector) || sector.size != sectorSize) continue;
      seen[sector.id] = true;
      firstId = std::min<unsigned>(firstId, sector.id);
      firstHead = std::min<unsigned>(firstHead, sector.head);
    }
  }
  unsigned last = firstId;
  for (unsigned id = last + 1; id < 256 && id <= last + 2; ++id) {
    if (seen[id]) last = id;
  }
  store.firstId = firstId;
  store.idsPerTrack = last - firstId + 1;
  store.firstCylinder = low;
  store.firstHead = firstHead;

  store.heads = 1;
  for (const TrackRecord& record : store.waiting) {
    for (const SectorRecord& sector : record.sectors) {
      if (early(sector) && sector.size == sectorSize && sector.head == firstHead + 1 &&
          sector.id >= firstId && sector.id <= last && store.sides != 1) {
        store.heads = 2;
      }
    }
  }
  store.shapeKnown = true;
  return true;
}

// A track of zeros whose sectors are all absent, within the bound.
bool allocate(TrackStore& store, TrackStore::Track& track) {
  const std::size_t trackBytes = std::size_t{store.sectorSize} * store.idsPerTrack;
  if (store.keptBytes + trackBytes > kMaxContainerBytes) return false;
  store.keptBytes += trackBytes;
  track.bytes.assign(trackBytes, 0);
  track.sectors.assign(store.idsPerTrack, SectorState::kAbsent);
  return true;
}

bool placeSectors(TrackStore& store, const TrackRecord& record) {
  ++store.records;
  for (const SectorRecord& sector : record.sectors) {
    if (!hasOwnId(sector) || sector.size != store.sectorSize || sector.id < store.firstId ||
        sector.id - store.firstId >= store.idsPerTrack || sector.cylinder < store.firstCylinder ||
        sector.head < store.firstHead || sector.head - store.firstHead >= store.heads) {
      continue;
    }
    const unsigned head = sector.head - store.firstHead;
    const unsigned cylinder = sector.cylinder - store.firstCylinder;
    if (2 * cylinder + head >= store.tracks.size()) store.tracks.resize(2 * cylinder + 2);
    TrackStore::Track& track = store.tracks[2 * cylinder + head];
    if (track.bytes.empty()) {
      if (!allocate(store, track)) return false;
      track.record = store.records;
      store.lastCylinder[head] = std::max(store.lastCylinder[head], static_cast<int>(cylinder));
    } else if (track.record != store.records) {
      continue;
    }
    const unsigned slot = sector.id - store.firstId;
    SectorState& kept = track.sectors[slot];
    // A second copy counts only when it came whole and the first did not.
    const bool better = kept != SectorState::kWhole && sector.state == SectorState::kWhole;
    if (kept != SectorState::kAbsent && !better) continue;
    kept = sector.state;
    if (hasData(sector.state)) {
      std::memcpy(track.bytes.data() + std::size_t{slot} * store.sectorSize,
                  record.data.data() + sector.dataOffset, store.sectorSize);
    }
  }
  return true;
}

// Decides the shape from the waiting records and places them; false when
// there is no shape to decide or the volume grows past the bound.
bool settle(TrackStore& store) {
  if (!learnShape(store)) return false;
  std::vector<TrackRecord> waiting = std::move(store.waiting);
  store.waiting.clear();
  for (const TrackRecord& record : waiting) store.keptBytes -= record.data.size();
  for (const TrackRecord& record : waiting) {
    if (!placeSectors(store, record)) return false;
  }
  return true;
}

}  // namespace

bool TrackStore::place(const TrackRecord& record) {
  if (shapeKnown) return placeSectors(*this, record);
  for (const SectorRecord& sector : record.sectors) {
    if (hasOwnId(sector) && sector.cylinder < 2 && sector.head < 2) {
      seen[sector.cylinder][sector.head] = true;
    }
  }
  if (keptBytes + record.data.size() > kMaxContainerBytes) return false;
  keptBytes += record.data.size();
  waiting.push_back(record);
  const bool bothHeads = sides == 1 || (seen[0][1] && seen[1][1]);
  return !(seen[0][0] && seen[1][0] && bothHeads) || settle(*this);
}

TrackStore::Span TrackStore::find(uint64_t offset, bool ended) {
  if (!shapeKnown) {
    if (!ended) return {Found::kMore};
    if (!settle(*this)) return {Found::kEnd};
  }
  const uint64_t trackBytes = uint64_t{sectorSize} * idsPerTrack;
  const uint64_t index = offset / trackBytes;
  const uint64_t cylinder = index / heads;
  const uint64_t head = index % heads;
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

SectorState TrackStore::stateAt(uint64_t offset) const {
  const uint64_t trackBytes = uint64_t{sectorSize} * idsPerTrack;
  const uint64_t index = offset / trackBytes;
  const Track& track = tracks[static_cast<std::size_t>(2 * (index / heads) + index % heads)];
  return track.sectors[static_cast<std::size_t>(offset % trackBytes / sectorSize)];
}

}  // namespace tamrik::container
