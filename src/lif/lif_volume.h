// SPDX-License-Identifier: MIT
// A LIF volume: its header and its directory.
//
// The volume is a run of 256-byte sectors, integers big-endian. Sector 0 is
// the header, of which the first 42 bytes are used:
//
//   offset  width  content
//        0      2  LIF identifier, 0x8000
//        2      6  volume label, blanks and NULs as stored
//        8      4  first sector of the directory
//       12      2  (kept, not interpreted)
//       14      2  (ignored)
//       16      4  directory length in sectors
//       20      2  LIF version
//       22      2  (ignored)
//       24      4  tracks per surface
//       28      4  surfaces
//       32      4  sectors per track
//       36      6  initialisation date and time, BCD: YY MM DD hh mm ss
//
// The directory starts at byte dirStart * 256 and holds dirLength * 8
// entries of 32 bytes (lif_dir_entry.h), ended early by an entry of type
// 0xFFFF. Calculator media often leave version and geometry all zero; such
// a volume is taken to be a standard 77 x 2 x 16 floppy.
#ifndef TAMRIK_LIF_LIF_VOLUME_H_
#define TAMRIK_LIF_LIF_VOLUME_H_

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "lif/byte_reader.h"
#include "lif/lif_dir_entry.h"
#include "lif/lif_refusal.h"

namespace tamrik {

inline constexpr uint16_t kLifId = 0x8000;
inline constexpr uint32_t kSectorBytes = 256;

struct LifVolume {
  uint16_t lifId = 0;
  std::string label;
  uint32_t dirStart = 0;
  uint16_t auxWord = 0;
  uint32_t dirLength = 0;
  uint16_t version = 0;
  uint32_t tracks = 0;
  uint32_t surfaces = 0;
  uint32_t sectorsPerTrack = 0;
  BcdStamp initBcd{};
  StampText initStamp;
  // Accepted entries in directory order. Purged entries (type 0) are left
  // out: nothing is shown of them, and a mostly zero image must not be able
  // to fill memory with them.
  std::vector<LifDirEntry> entries;
  std::istream& stream;
  // Why the last read returned false; kNone after one that returned true.
  LifRefusal refusal;

  explicit LifVolume(std::istream& in) : stream(in) {}

  // Reads and checks the header. False when the identifier is wrong or the
  // image ends inside the header, with `refusal` saying which.
  bool readHeader();

  // Reads the header and the whole directory. False when the header is
  // refused or the image ends before the directory's end, with `refusal`
  // saying where. The stream is left
  // somewhere in the last block that was read.
  bool readDirectory();
};

}  // namespace tamrik

#endif  // TAMRIK_LIF_LIF_VOLUME_H_
