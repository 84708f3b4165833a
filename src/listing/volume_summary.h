// SPDX-License-Identifier: MIT
#ifndef TAMRIK_LISTING_VOLUME_SUMMARY_H_
#define TAMRIK_LISTING_VOLUME_SUMMARY_H_

#include <cstdint>

#include "lif/lif_volume.h"
#include "listing/line_writer.h"

namespace tamrik {

// Byte offset just past the file of the last entry in directory order (the
// reader keeps used entries only), or 0 when there is none.
uint32_t endOfUsedSpace(const LifVolume& volume);

// The directory's capacity in entries and the volume's size in bytes, from
// the header. 32-bit, as on the machines that wrote the volume.
uint32_t entryCapacity(const LifVolume& volume);
uint32_t totalBytes(const LifVolume& volume);

// The label, initialisation, capacity and empty lines above the table.
void printVolumeSummary(const LifVolume& volume, const LineWriter& writer);

}  // namespace tamrik

#endif  // TAMRIK_LISTING_VOLUME_SUMMARY_H_
