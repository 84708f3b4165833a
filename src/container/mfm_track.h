// SPDX-License-Identifier: MIT
// The sectors on one side of one track, found in the MFM cells that a
// floppy emulator keeps of it.
//
// Each data bit is two cells, a clock cell and a data cell. A field starts
// with three syncs 0x4489 (an A1 written with a missing clock, so that no
// data makes it), at any cell, then its mark:
//   FE  id field: cylinder, head, sector id, size code (128 << code bytes)
//   FB  data field, the sector's bytes (F8: the same, marked deleted)
// each followed by a CRC-16/CCITT, high byte first, computed from 0xFFFF
// over A1 A1 A1, the mark and the field. A data field belongs to the id
// field just before it. A mark is found when two of its syncs are whole.
#ifndef TAMRIK_CONTAINER_MFM_TRACK_H_
#define TAMRIK_CONTAINER_MFM_TRACK_H_

#include <cstddef>

#include "container/track_record.h"

namespace tamrik::container {

// What must follow the cells so that the decoder may read whole words at
// their end; its value does not matter.
inline constexpr std::size_t kMfmPadding = 8;

// Appends the sectors of one side-track to `track`, in the order they lie.
// `cells` holds `cellBytes` bytes of cells in medium order, the first cell
// of each byte in its least significant bit as HFE files keep them, then
// kMfmPadding bytes more. An id field with a wrong CRC is no sector; an id
// field whose data field does not come before the next id field is
// kNoData; a data field with a wrong CRC, or cut short by the end of the
// track, is kept as read (kDataError). Each data field decoded takes its
// sector's size from `decodable`; false, with the field left out, when it
// would take more than is left.
bool decodeMfmTrack(const unsigned char* cells, std::size_t cellBytes, TrackRecord& track,
                    std::size_t& decodable);

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_MFM_TRACK_H_
