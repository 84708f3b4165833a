// SPDX-License-Identifier: MIT
// HFE files, in which floppy emulators keep a disk as the MFM cells of each
// track (format revision 0). Integers are little-endian; the file is made of
// blocks of 512 bytes.
//
//   header, block 0:
//      0  8  "HXCPICFE" ("HXCHFEV3": a later revision with opcodes among
//            the cells, not read)
//      8  1  format revision, 0
//      9  1  tracks (cylinders)      10  1  sides, 1 or 2
//     11  1  track encoding: 0 ISO/IBM MFM, 1 Amiga MFM, 2 ISO/IBM FM,
//            3 EMU FM, 0xFF unknown
//     12  2  bit rate               14  2  rotation speed
//     16  1  interface mode         17  1  unused
//     18  2  track list, in blocks
//     20  1  write allowed          21  1  single step
//     22  2  0, then an encoding: track 0 of side 0 is in that encoding
//     24  2  the same for track 0 of side 1
//   track list: per cylinder, where its cells start (2, in blocks) and how
//     many bytes they take (2), both sides together
//   a cylinder's cells: bytes 0-255 of each block are side 0's, 256-511
//     side 1's, half of the length to each side (a one-sided file has
//     both halves too); in each byte the first cell on the medium is bit 0.
//     The sectors are in the cells (mfm_track.h).
#ifndef TAMRIK_CONTAINER_HFE_H_
#define TAMRIK_CONTAINER_HFE_H_

#include <memory>
#include <span>
#include <streambuf>

#include "container/container_format.h"

namespace tamrik::container {

// Either signature: the later revision is recognised to be refused by name.
bool recognisesHfe(std::span<const unsigned char> head);

// One record per cylinder, both sides' sectors in it, each cylinder read
// and decoded only when asked for. Refused: another revision or encoding,
// and a header whose tracks lie outside the file.
TrackSource openHfe(std::unique_ptr<std::streambuf> file);

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_HFE_H_
