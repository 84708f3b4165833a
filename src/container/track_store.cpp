// SPDX-License-Identifier: MIT
#include "container/track_store.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace tamrik::container {
namespace {

bool hasOwnId(const SectorRecord& sector) {
  return !sector.madeUpId && sector.size != 0;
}

// The most common size among the sectors of the records on one track (the
// larger on a tie): the first track's holds the header.
uint32_t mostCommonSize(std::span<const TrackRecord> records, unsigned cylinder, unsigned head) {
  unsigned perSize[kMaxSizeCode + 1] = {};
  for (const TrackRecord& record : records) {
    for (const SectorRecord& sector : record.sectors) {
      if (!hasOwnId(sector) || sector.cylinder != cylinder || sector.head != head) continue;
      for (unsigned code = 0; code <= kMaxSizeCode; ++code) {
        if (sector.size == 128U << code) ++perSize[code];
      }
    }
  }
  unsigned code = 0;
  for (unsigned c = 1; c <= kMaxSizeCode; ++c) {
    if (perSize[c] >= perSize[code]) code = c;
  }
  return 128U << code;
}

// Of two copies of a sector in one record the first counts, unless only
// the later one came whole.
bool replaces(SectorState kept, SectorState next) {
  return kept != SectorState::kWhole && next == SectorState::kWhole;
}

// The volume's sector size, ids, first cylinder and head from the waiting
// records; false when no record has sectors with ids of their own.
bool learnShape(TrackStore& store) {
  unsigned low = 256;
  for (const TrackRecord& record : store.waiting) {
    for (const SectorRecord& sector : record.sectors) {
      if (hasOwnId(sector)) low = std::min<unsigned>(low, sector.cylinder);
    }
  }
  if (low == 256) return false;
  unsigned lowHead = 256;
  for (const TrackRecord& record : store.waiting) {
    for (const SectorRecord& sector : record.sectors) {
      if (hasOwnId(sector) && sector.cylinder == low) {
        lowHead = std::min<unsigned>(lowHead, sector.head);
      }
    }
  }

  const uint32_t sectorSize = store.sectorSize = mostCommonSize(store.waiting, low, lowHead);

  unsigned firstId = 255;
  unsigned lastId = 0;
  for (const TrackRecord& record : store.waiting) {
    for (const SectorRecord& sector : record.sectors) {
      if (!hasOwnId(sector) || sector.size != sectorSize || sector.cylinder - low >= 2 ||
          sector.head < lowHead || sector.head - lowHead >= 2) {
        continue;
      }
      firstId = std::min<unsigned>(firstId, sector.id);
      lastId = std::max<unsigned>(lastId, sector.id);
    }
  }
  store.firstId = firstId;
  store.idsPerTrack = lastId - firstId + 1;
  store.firstCylinder = low;
  store.firstHead = lowHead;
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
        sector.head < store.firstHead || sector.head - store.firstHead >= 2) {
      continue;
    }
    const unsigned head = sector.head - store.firstHead;
    const unsigned cylinder = sector.cylinder - store.firstCylinder;
    if (head == 1 && store.heads == 1) continue;
    if (head == 1 && cylinder < 2) store.secondHead = true;
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
    if (kept != SectorState::kAbsent && !replaces(kept, sector.state)) continue;
    kept = sector.state;
    if (hasData(sector.state)) {
      std::memcpy(track.bytes.data() + std::size_t{slot} * store.sectorSize,
                  record.data.data() + sector.dataOffset, store.sectorSize);
    }
  }
  return true;
}

// The first track's run from id 0 or 1 up to its first gap, from the record
// that gave it, by the rules the shape and the placing follow.
void learnEarly(TrackStore& store, const TrackRecord& record) {
  const auto first = [](const SectorRecord& sector) {
    return hasOwnId(sector) && sector.cylinder == 0 && sector.head == 0;
  };
  const uint32_t size = mostCommonSize({&record, 1}, 0, 0);
  const SectorRecord* slots[256] = {};
  for (const SectorRecord& sector : record.sectors) {
    if (!first(sector) || sector.size != size) continue;
    const SectorRecord*& kept = slots[sector.id];
    if (kept == nullptr || replaces(kept->state, sector.state)) kept = &sector;
  }
  const unsigned firstId = slots[0] != nullptr ? 0 : 1;
  unsigned count = 0;
  while (firstId + count < 256 && slots[firstId + count] != nullptr) ++count;
  if (count == 0 || store.keptBytes + std::size_t{count} * size > kMaxContainerBytes) return;
  store.keptBytes += std::size_t{count} * size;
  store.sectorSize = size;
  store.early.bytes.assign(std::size_t{count} * size, 0);
  store.early.sectors.assign(count, SectorState::kAbsent);
  for (unsigned slot = 0; slot < count; ++slot) {
    const SectorRecord& sector = *slots[firstId + slot];
    store.early.sectors[slot] = sector.state;
    if (hasData(sector.state)) {
      std::memcpy(store.early.bytes.data() + std::size_t{slot} * size,
                  record.data.data() + sector.dataOffset, size);
    }
  }
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

// Decides whether head 1 is part of the volume, once that can be told.
void decideHeads(TrackStore& store, bool ended) {
  if (store.heads != 0) return;
  if (store.secondHead && store.sides != 1) {
    store.heads = 2;
    return;
  }
  const bool allSeen = store.seen[0][0] && store.seen[1][0] &&
                       (store.sides == 1 || (store.seen[0][1] && store.seen[1][1]));
  if (!allSeen && !ended) return;
  store.heads = 1;
  // The other side holds something else: let it go.
  for (std::size_t other = 1; other < store.tracks.size(); other += 2) {
    store.keptBytes -= store.tracks[other].bytes.size();
    store.tracks[other] = TrackStore::Track{};
  }
  store.lastCylinder[1] = -1;
}

}  // namespace

bool TrackStore::place(const TrackRecord& record) {
  for (const SectorRecord& sector : record.sectors) {
    if (hasOwnId(sector) && sector.cylinder < 2 && sector.head < 2) {
      seen[sector.cylinder][sector.head] = true;
    }
  }
  if (shapeKnown) return placeSectors(*this, record);
  if (keptBytes + record.data.size() > kMaxContainerBytes) return false;
  keptBytes += record.data.size();
  waiting.push_back(record);
  const bool another = seen[0][1] || seen[1][0] || seen[1][1];
  if (seen[0][0] && another) return settle(*this);
  if (seen[0][0] && early.sectors.empty()) learnEarly(*this, record);
  return true;
}

TrackStore::Span TrackStore::find(uint64_t offset, bool ended) {
  if (!shapeKnown && offset < early.bytes.size()) {
    char* begin = early.bytes.data();
    return {Found::kData, begin, begin + offset, begin + early.bytes.size()};
  }
  if (!shapeKnown) {
    if (!ended) return {Found::kMore};
    if (!settle(*this)) return {Found::kEnd};
  }
  const uint64_t trackBytes = uint64_t{sectorSize} * idsPerTrack;
  const uint64_t index = offset / trackBytes;
  if (index > 0) decideHeads(*this, ended);
  if (index > 0 && heads == 0) return {Found::kMore};
  const uint64_t cylinder = index == 0 ? 0 : index / heads;
  const uint64_t head = index == 0 ? 0 : index % heads;
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
  if (!shapeKnown) return early.sectors[static_cast<std::size_t>(offset / sectorSize)];
  const uint64_t trackBytes = uint64_t{sectorSize} * idsPerTrack;
  const uint64_t index = offset / trackBytes;
  const uint64_t perCylinder = heads == 0 ? 1 : heads;
  const Track& track =
      tracks[static_cast<std::size_t>(2 * (index / perCylinder) + index % perCylinder)];
  return track.sectors[static_cast<std::size_t>(offset % trackBytes / sectorSize)];
}

}  // namespace tamrik::container
