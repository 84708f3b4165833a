// SPDX-License-Identifier: MIT
// The LIF volume inside a floppy container, gathered track by track.
//
// The volume is its sectors in cylinder, head, sector id order, read as one
// run of bytes: LIF block k is bytes 256k to 256k + 255, and a sector of 512
// or 1,024 bytes holds 2 or 4 blocks. Where each sector belongs comes from
// its own id fields, never from its place in the file, so interleave, track
// skew and the order of the tracks in the file fall away.
//
// The shape comes from the tracks of the first two cylinders, both heads,
// whatever their order in the file, and is the same rule for every format:
// the sector size is the most common one on the first track (which holds
// the volume's header); the ids are the run that most of those tracks
// agree on. Each id counts once for every track that holds a sector of that
// size with it, and against every track that does not; the run is the
// stretch of ids with the best balance, so a sector missing from one track
// does not shorten it and a stray id on one track does not lengthen it.
// When the first track holds id 0 the run starts there (a disk numbered
// from 0 whose header sector is in the file). The shape waits for the
// first two cylinders of both heads (of one, where the file's header says
// it has one side) or the end of the file.
//
// Head 1 is part of the volume when it has sectors of that shape on the
// first two cylinders. When it holds only sectors of another shape there,
// a single-sided volume shares its container with another format. When it
// holds nothing there but the file promises it (its header says two sides,
// or it records those tracks empty), it is part of the volume and absent.
//
// Until the shape is known, the first track's sectors from id 0 up to its
// first gap are served as they came, when the first track holds id 0: the
// run starts there whatever the other tracks say.
//
// Left out: sectors of other sizes, ids outside the run (told, as strays of
// their track), Teledisk's made-up ids, heads beyond the volume's, and
// sectors for a track that an earlier track record already gave. Of two
// copies of a sector in one record the first is kept, unless only the
// second came whole. A sector that is missing or came without data reads as
// zeros, as does a track the container lacks below its last cylinder; a
// sector read with a data error keeps the data read. Each sector's state is
// kept, so that a reader can be told what it was given. The volume ends
// with the last cylinder that has a track of it.
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
    std::vector<uint8_t> strays;       // ids of the shape's size outside the run
    uint32_t record = 0;               // the track record that gave it
    uint8_t cylinder = 0;              // as the sectors' own ids say
    uint8_t head = 0;
    bool straysTold = false;  // the read log has them
  };

  // Where a byte of the volume is: in a track from `begin` to `end`, at `at`;
  // or not known before more tracks are read; or beyond the volume.
  enum class Found { kData, kMore, kEnd };
  struct Span {
    Found found = Found::kEnd;
    Track* track = nullptr;  // null for the first track's early run
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
  // Which heads of cylinders 0 and 1 the records have given sectors of so
  // far, and which tracks there the file says it recorded.
  bool seen[2][2] = {};
  bool held[2][2] = {};
  bool overBound = false;  // a track could not be kept within kMaxContainerBytes
  // The records that came before the shape was known.
  std::vector<TrackRecord> waiting;
  // Until then, the first track's sectors from id 0 up to its first gap,
  // when it holds id 0: those blocks lie where they lie whatever the other
  // tracks say, so a listing whose header and directory are there needs no
  // second track decoded.
  Track early;
  // By cylinder from the first, times two, plus the head from the first;
  // grown as tracks come.
  std::vector<Track> tracks;

  // Takes the volume's sectors from the next track record of the container,
  // which it may empty. False when the volume would grow past
  // kMaxContainerBytes.
  bool place(TrackRecord& record);

  // The byte at `offset`; `ended` says that the container has no more
  // tracks to give.
  Span find(uint64_t offset, bool ended);

  // The state of the sector that holds the byte at `offset`, in a track
  // that find() gave.
  SectorState stateAt(uint64_t offset) const;
};

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_TRACK_STORE_H_
