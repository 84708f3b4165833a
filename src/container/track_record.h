// SPDX-License-Identifier: MIT
// One track as a floppy container stores it: its sectors in the order they
// lie on the disk, each with the id fields that were read from the disk
// itself, and their decoded data side by side. Both container readers fill
// this record; the track store (track_store.h) picks the volume out of it.
#ifndef TAMRIK_CONTAINER_TRACK_RECORD_H_
#define TAMRIK_CONTAINER_TRACK_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "reason/reason.h"

namespace tamrik::container {

// What one container may cost at most: bytes read from the file, decoded
// sector bytes, bytes a compressed stream expands to, and tracks kept, each
// counted apart. A 2.88 MB floppy fits several times over; a device that
// never ends does not keep the reader forever.
inline constexpr std::size_t kMaxContainerBytes = std::size_t{16} << 20;

// Why a reader stopped: its sectors' data, counted at their sizes, passed
// kMaxContainerBytes.
inline constexpr const char* kDecodedOverBound = "the sectors decode to more than 16 MiB"_reason;
// Why the volume stopped: what it keeps of the tracks, with the record
// being read, would pass kMaxContainerBytes.
inline constexpr const char* kTracksOverBound = "the volume's tracks take more than 16 MiB"_reason;

// Sector sizes are 128 << code; code 6 (8,192 bytes) is the largest that
// either format knows.
inline constexpr unsigned kMaxSizeCode = 6;

// What became of a sector on the disk, as the container recorded it; kAbsent
// is for a sector the container does not hold at all.
enum class SectorState : uint8_t { kWhole, kNoData, kDataError, kUndecoded, kAbsent };

inline bool hasData(SectorState state) {
  return state == SectorState::kWhole || state == SectorState::kDataError;
}

struct SectorRecord {
  uint8_t cylinder = 0;
  uint8_t head = 0;
  uint8_t id = 0;
  uint32_t size = 0;  // bytes; 0 when the size code is unknown
  // With kWhole and kDataError, the data is at dataOffset in TrackRecord::data.
  SectorState state = SectorState::kNoData;
  bool madeUpId = false;  // Teledisk found data without an id and invented one
  std::size_t dataOffset = 0;
};

// A track the file says it recorded, by its own cylinder and head, whether
// or not it found sectors there.
struct HeldTrack {
  uint8_t cylinder = 0;
  uint8_t head = 0;
};

struct TrackRecord {
  std::vector<SectorRecord> sectors;
  std::vector<unsigned char> data;
  std::vector<HeldTrack> held;  // one, or both sides of a cylinder
  // How many bytes `data` may hold, so that the record and what the volume
  // keeps stay within the bound together; set by whoever asks for the record.
  std::size_t maxData = kMaxContainerBytes;

  // Empties the record and keeps its room for the next track.
  void clear() {
    sectors.clear();
    data.clear();
    held.clear();
  }

  // Whether `bytes` more data fit within maxData.
  bool fits(std::size_t bytes) const {
    return maxData >= data.size() && maxData - data.size() >= bytes;
  }
};

// What a track reader answers: a track, the end of the file, or damage
// that ends it early, with the reason in plain words.
struct TrackOutcome {
  enum Kind : uint8_t { kTrack, kEnd, kDamaged };
  Kind kind = kTrack;
  std::string reason;

  static TrackOutcome track() { return {}; }
  static TrackOutcome end() { return {kEnd, {}}; }
  static TrackOutcome damaged(std::string why) { return {kDamaged, std::move(why)}; }
};

// Reads exactly `count` bytes; false when the data ends first.
inline bool readExactly(std::streambuf& in, unsigned char* into, std::size_t count) {
  return in.sgetn(reinterpret_cast<char*>(into), static_cast<std::streamsize>(count)) ==
         static_cast<std::streamsize>(count);
}

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_TRACK_RECORD_H_
