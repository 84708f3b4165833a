// SPDX-License-Identifier: MIT
// Teledisk (.TD0) files. Integers are little-endian.
//
//   header, 12 bytes, never compressed:
//      0  2  "TD"; "td" when all that follows is compressed (lzhuf.h)
//      2  1  volume sequence          3  1  check sequence
//      4  1  version, in decimal: 21 is 2.1 ("td" before 20 packs otherwise)
//      5  1  data rate                6  1  drive type
//      7  1  stepping; bit 7 set: a comment block follows
//      8  1  DOS allocation           9  1  sides
//     10  2  CRC-16 of bytes 0-9: polynomial 0xA097, from 0, no final XOR
//   comment block: CRC (2), text length n (2), date and time (6), n bytes
//   then one record per track:
//     sector count (0xFF: the end of the image), cylinder, head (bit 7: FM),
//     CRC; then per sector:
//       cylinder, head, id, size code (128 << code bytes), flags, CRC.
//       Flags 0x10 and 0x20: no data follows. 0x40: data found without an
//       id, which Teledisk numbered from 100. 0x02: the data had an error.
//       Data: length n (2), then n bytes: the encoding and its input.
//         0  the sector's bytes
//         1  pairs of count (2) and 2 bytes, repeated count times each
//         2  runs: 0, n, then n bytes as they are; or L, count, then 2L
//            bytes repeated count times
#ifndef TAMRIK_CONTAINER_TELEDISK_H_
#define TAMRIK_CONTAINER_TELEDISK_H_

#include <cstddef>
#include <memory>
#include <span>
#include <streambuf>
#include <vector>

#include "container/container_format.h"
#include "container/lzhuf.h"
#include "container/track_record.h"

namespace tamrik::container {

inline constexpr std::size_t kTelediskHeaderBytes = 12;

// Either form's signature, "TD" or "td"; nothing else of the header.
bool recognisesTeledisk(std::span<const unsigned char> head);

// The file's tracks, read past its header; refused when the header is cut
// short, its CRC is wrong, or an advanced form is older than the one
// lzhuf.h unpacks.
TrackSource openTeledisk(std::unique_ptr<std::streambuf> file);

struct TelediskReader {
  std::unique_ptr<std::streambuf> file;
  std::unique_ptr<LzhufStreamBuf> unpacked;  // the records of a "td" file
  bool commentFollows = false;
  std::size_t decodedBytes = 0;
  std::vector<unsigned char> block;  // one data block as stored

  // Over a file that stands just after the header.
  TelediskReader(std::unique_ptr<std::streambuf> file,
                 const unsigned char (&header)[kTelediskHeaderBytes]);

  // The next track; the end at the end record; damage when the records end
  // without it, are cut short or would decode to more than
  // kMaxContainerBytes. The record that was cut short is not given.
  TrackOutcome nextTrack(TrackRecord& track);
};

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_TELEDISK_H_
