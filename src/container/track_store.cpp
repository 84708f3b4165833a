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

// The run of ids most of the tracks of the first two cylinders agree on:
// each track of the shape's size counts for the ids it holds and against
// those it lacks, and the stretch with the best balance wins, the longer on
// a tie. From 0 when the first track holds id 0.
void learnRun(TrackStore& store, bool firstHoldsZero, const unsigned (&holding)[256],
              unsigned tracks) {
  long best = 0;
  unsigned bestFirst = 0;
  unsigned bestCount = 0;
  const unsigned lastStart = firstHoldsZero ? 0 : 255;
  for (unsigned first = 0; first <= lastStart; ++first) {
    long sum = 0;
    for (unsigned id = first; id < 256; ++id) {
      sum += 2 * static_cast<long>(holding[id]) - static_cast<long>(tracks);
      const unsigned count = id - first + 1;
      if (bestCount == 0 || sum > best || (sum == best && count > bestCount)) {
        best = sum;
        bestFirst = first;
        bestCount = count;
      }
    }
  }
  store.firstId = bestFirst;
  store.idsPerTrack = bestCount;
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

  // Which ids each track of the first two cylinders holds in that size.
  const unsigned heads = store.sides == 1 ? 1 : 2;
  bool holds[2][2][256] = {};
  for (const TrackRecord& record : store.waiting) {
    for (const SectorRecord& sector : record.sectors) {
      if (!hasOwnId(sector) || sector.size != sectorSize || sector.cylinder - low >= 2 ||
          sector.head < lowHead || sector.head - lowHead >= heads) {
        continue;
      }
      holds[sector.cylinder - low][sector.head - lowHead][sector.id] = true;
    }
  }
  unsigned holding[256] = {};
  unsigned tracks = 0;
  for (auto& cylinder : holds) {
    for (auto& track : cylinder) {
      if (std::find(std::begin(track), std::end(track), true) == std::end(track)) continue;
      ++tracks;
      for (unsigned id = 0; id < 256; ++id) holding[id] += track[id] ? 1 : 0;
    }
  }
  learnRun(store, holds[0][0][0], holding, tracks);
  store.firstCylinder = low;
  store.firstHead = lowHead;
  store.shapeKnown = true;
  return true;
}

// A track of zeros whose sectors are all absent, within the bound.
bool allocate(TrackStore& store, TrackStore::Track& track) {
  const std::size_t trackBytes = std::size_t{store.sectorSize} * store.idsPerTrack;
  if (store.keptBytes + trackBytes > kMaxContainerBytes) {
    store.overBound = true;
    return false;
  }
  store.keptBytes += trackBytes;
  track.bytes.assign(trackBytes, 0);
  track.sectors.assign(store.idsPerTrack, SectorState::kAbsent);
  return true;
}

// Whether a sector is of the volume's size on one of its heads, and so
// either placed or a stray of its track.
bool ofTheShape(const TrackStore& store, const SectorRecord& sector) {
  return hasOwnId(sector) && sector.size == store.sectorSize &&
         sector.cylinder >= store.firstCylinder && sector.head >= store.firstHead &&
         sector.head - store.firstHead < (store.heads == 1 ? 1U : 2U);
}

bool inRun(const TrackStore& store, const SectorRecord& sector) {
  return sector.id >= store.firstId && sector.id - store.firstId < store.idsPerTrack;
}

TrackStore::Track* trackOf(TrackStore& store, const SectorRecord& sector) {
  const std::size_t at =
      2 * std::size_t{sector.cylinder - store.firstCylinder} + (sector.head - store.firstHead);
  return at < store.tracks.size() ? &store.tracks[at] : nullptr;
}

bool placeSectors(TrackStore& store, const TrackRecord& record) {
  ++store.records;
  for (const SectorRecord& sector : record.sectors) {
    if (!ofTheShape(store, sector) || !inRun(store, sector)) continue;
    const unsigned head = sector.head - store.firstHead;
    const unsigned cylinder = sector.cylinder - store.firstCylinder;
    if (head == 1 && cylinder < 2) store.secondHead = true;
    if (2 * cylinder + head >= store.tracks.size()) store.tracks.resize(2 * cylinder + 2);
    TrackStore::Track& track = store.tracks[2 * cylinder + head];
    if (track.bytes.empty()) {
      if (!allocate(store, track)) return false;
      track.record = store.records;
      track.cylinder = sector.cylinder;
      track.head = sector.head;
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
  // Ids outside the run, on the tracks this record gave: left out, and told.
  for (const SectorRecord& sector : record.sectors) {
    if (!ofTheShape(store, sector) || inRun(store, sector)) continue;
    TrackStore::Track* track = trackOf(store, sector);
    if (track == nullptr || track->record != store.records) continue;
    if (std::find(track->strays.begin(), track->strays.end(), sector.id) == track->strays.end()) {
      track->strays.push_back(sector.id);
    }
  }
  return true;
}

// The first track's run from id 0 up to its first gap, from the record that
// gave it, by the rules the shape and the placing follow; none when the
// first track lacks id 0, as the run may then start anywhere.
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
  if (slots[0] == nullptr) return;
  unsigned count = 0;
  while (count < 256 && slots[count] != nullptr) ++count;
  if (store.keptBytes + std::size_t{count} * size > kMaxContainerBytes) return;
  store.keptBytes += std::size_t{count} * size;
  store.sectorSize = size;
  store.early.bytes.assign(std::size_t{count} * size, 0);
  store.early.sectors.assign(count, SectorState::kAbsent);
  for (unsigned slot = 0; slot < count; ++slot) {
    const SectorRecord& sector = *slots[slot];
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
  store.keptBytes -= store.early.bytes.size();
  store.early = TrackStore::Track{};
  std::vector<TrackRecord> waiting = std::move(store.waiting);
  store.waiting.clear();
  // Each record's data is let go as soon as it is placed, so that the
  // waiting records and the tracks together stay within the bound.
  for (TrackRecord& record : waiting) {
    const bool placed = placeSectors(store, record);
    store.keptBytes -= record.data.size();
    record = TrackRecord{};
    if (!placed) return false;
  }
  return true;
}

// Whether the first two cylinders of every head the file may have have
// come, as sectors or as tracks the file says it recorded.
bool firstCylindersKnown(const TrackStore& store) {
  for (unsigned cylinder = 0; cylinder < 2; ++cylinder) {
    for (unsigned head = 0; head < (store.sides == 1 ? 1U : 2U); ++head) {
      if (!store.seen[cylinder][head] && !store.held[cylinder][head]) return false;
    }
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
  if (!firstCylindersKnown(store) && !ended) return;
  // Head 1 holds something else there, or nothing the file promises.
  const bool otherFormat = store.seen[0][1] || store.seen[1][1];
  const bool promised = store.sides == 2 || store.held[0][1] || store.held[1][1];
  store.heads = store.sides != 1 && !otherFormat && promised ? 2 : 1;
  if (store.heads == 2) return;
  for (std::size_t other = 1; other < store.tracks.size(); other += 2) {
    store.keptBytes -= store.tracks[other].bytes.size();
    store.tracks[other] = TrackStore::Track{};
  }
  store.lastCylinder[1] = -1;
}

}  // namespace

bool TrackStore::place(TrackRecord& record) {
  const bool firstSeen = seen[0][0];
  for (const SectorRecord& sector : record.sectors) {
    if (hasOwnId(sector) && sector.cylinder < 2 && sector.head < 2) {
      seen[sector.cylinder][sector.head] = true;
    }
  }
  for (const HeldTrack& track : record.held) {
    if (track.cylinder < 2 && track.head < 2) held[track.cylinder][track.head] = true;
  }
  if (shapeKnown) return placeSectors(*this, record);
  if (keptBytes + record.data.size() > kMaxContainerBytes) return false;
  keptBytes += record.data.size();
  // The first record that gives the first track is the one placing takes.
  if (!firstSeen && seen[0][0]) learnEarly(*this, record);
  waiting.push_back(std::move(record));
  if (seen[0][0] && firstCylindersKnown(*this)) return settle(*this);
  return true;
}

TrackStore::Span TrackStore::find(uint64_t offset, bool ended) {
  if (!shapeKnown && offset < early.bytes.size()) {
    char* begin = early.bytes.data();
    return {Found::kData, nullptr, begin, begin + offset, begin + early.bytes.size()};
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
    track.cylinder = static_cast<uint8_t>(firstCylinder + cylinder);
    track.head = static_cast<uint8_t>(firstHead + head);
  }
  char* begin = track.bytes.data();
  return {Found::kData, &track, begin, begin + offset % trackBytes, begin + trackBytes};
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
