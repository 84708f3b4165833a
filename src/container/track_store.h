// SPDX-License-Identifier: MIT
// The LIF volume inside a floppy container, gathered track by track.
//
// The volume is its sectors in cylinder, head, sector id order, read as one
// run of bytes: LIF block k is bytes 256k to 256k + 255, and a sector of 512
// or 1,024 bytes holds 2 or 4 blocks. Where each sector belongs comes from
// its own id fields, never from its place in the file, so interleave, track
// skew and the order of the tracks in the file fall away.
//
// The shape comes from the tracks of the first two cylinders, whatever their
// order in the file: the most common sector size of the first track (which
// holds the volume's header), and the run of ids from the lowest (0 on some
// HP drives, 1 on others) to the highest of that size on the first track
// and another of those tracks, so that sectors missing from one track do
// not shorten it. Until two such tracks have come, the
// records are kept as they came. Head 1 is part of the volume when it has
// sectors of that shape on the first two cylinders; a single-sided volume
// may share its container with another format on the other side. That is
// decided once a block beyond the first track is read: when such a sector
// has come, or the tracks of both heads of both cylinders have (one head,
// where the file says it has one), or the file has ended.
//
// Left out: sectors of other sizes, ids outside the run (such as Teledisk's
// made-up ones), heads beyond the volume's, and sectors for a track that an
// earlier track record already gave. Of two copies of a sector in one
// record the first is kept, unless only the second came whole. A sector
// that is missing or came without data reads as zeros, as does a track the
// container lacks below its last cylinder; a sector read with a data error
// keeps the data read. Each sector's state is kept, so that a reader can be
// told what it was given. The volume ends with the last cylinder that has a
// track of it.
#ifndef TAMRIK_CONTAINER_TRACK_STORE_H_
#define TAMRIK_CONTAINER_TRACK_STORE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "container/track_record.h"

namespace tamrik::container {

struct TrackStore {
  struct Track {
    std::vector<char> bytes;           // the whole track, zeros where no data came
    std::vector<SectorState> sectors;  // by id from the first
    uint32_t record = 0;               // the track record that gave it
  };

  // Where a byte of the volume is: in a track from `begin` to `end`, at `at`;
  // or not known before more tracks are read; or beyond the volume.
  enum class Found { kData, kMore, kEnd };
  struct Span {
    Found found = Found::kEnd;
    char* begin = nullptr;
    char* at = nullptr;
    char* end = nullptr;
  };

  unsigned sides = 0;  // what the file's header says, 0 when it says nothing
  bool shapeKnown = false;
  uint32_t sectorSize = 0;
  unsigned firstId = 0;
  unsigned idsPerTrack = 0;
  unsigned firstCylinder = 0;
  unsigned firstHead = 0;
  unsigned heads = 0;       // 0 until decided
  bool secondHead = false;  // head 1 has a sector of the shape on the first two cylinders
  uint32_t records = 0;
  std::size_t keptBytes = 0;
  int lastCylinder[2] = {-1, -1};
  // Which heads of cylinders 0 and 1 the records have given so far.
  bool seen[2][2] = {};
  // The records that came before the shape was known.
  std::vector<TrackRecord> waiting;
  // Until then, the first track's sectors from id 0 or 1 up to its first
  // gap: whatever the other tracks add to the run, those blocks lie where
  // they lie, so a listing whose header and directory are there needs no
  // second track decoded.
  Track early;
  // By cylinder from the first, times two, plus the head from the first;
  // grown as tracks come.
  std::vector<Track> tracks;

  // Takes the volume's sectors from the next track record of the container.
  // False when the volume would grow past kMaxContainerBytes.
  bool place(const TrackRecord& record);

  // The byte at `offset`; `ended` says that the container has no more
  // tracks to give.
  Span find(uint64_t offset, bool ended);

  // The state of the sector that holds the byte at `offset`, in a track
  // that find() gave.
  SectorState stateAt(uint64_t offset) const;
};

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_TRACK_STORE_H_
