// SPDX-License-Identifier: MIT
// ImageDisk (.IMD) files.
//
//   "IMD ", then a text of any length ended by the byte 0x1A
//   then per track:
//     mode, cylinder, head (bit 7: a cylinder map follows, bit 6: a head
//     map follows), sector count n, size code (128 << code bytes)
//     n sector ids, in the order the sectors lie on the track
//     n cylinders, when flagged; n heads, when flagged
//     one record per sector, in the same order, by its first byte:
//       0           no data
//       1, 3, 5, 7  the sector's bytes
//       2, 4, 6, 8  one byte, which fills the sector
//     (3 and 4 carry a deleted-data mark, 5 and 6 a data error, 7 and 8
//     both)
#ifndef TAMRIK_CONTAINER_IMAGEDISK_H_
#define TAMRIK_CONTAINER_IMAGEDISK_H_

#include <cstddef>
#include <memory>
#include <span>
#include <streambuf>

#include "container/container_format.h"
#include "container/track_record.h"

namespace tamrik::container {

bool recognisesImageDisk(std::span<const unsigned char> head);

// The file's tracks, read past its text; refused when the text has no end.
TrackSource openImageDisk(std::unique_ptr<std::streambuf> file);

struct ImageDiskReader {
  std::unique_ptr<std::streambuf> file;  // standing after the text
  std::size_t decodedBytes = 0;

  // The next track; the end where the file ends between two tracks; damage
  // when a track is cut short or malformed or would take the decoded data
  // past kMaxContainerBytes. The track that was cut short is not given.
  TrackOutcome nextTrack(TrackRecord& track);
};

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_IMAGEDISK_H_
