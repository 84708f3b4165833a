// SPDX-License-Identifier: MIT
// One entry of a LIF directory.
//
// On disk an entry is 32 bytes, eight to a 256-byte sector, integers
// big-endian:
//
//   offset  width  content
//        0     10  file name, blanks and NULs as stored
//       10      2  file type code; 0xFFFF ends the directory, 0 is purged
//       12      4  first sector of the file
//       16      4  length of the file in sectors
//       20      6  creation date and time, BCD: YY MM DD hh mm ss
//       26      2  volume number word
//       28      4  implementation word; its meaning depends on the type
//
// The fields after implWord are derived from the type code by the file type
// catalogue (file_types.h).
#ifndef TAMRIK_LIF_LIF_DIR_ENTRY_H_
#define TAMRIK_LIF_LIF_DIR_ENTRY_H_

#include <cstdint>

#include "lif/byte_reader.h"
#include "lif/inline_text.h"

namespace tamrik {

inline constexpr uint16_t kEndOfDirectory = 0xFFFF;
inline constexpr std::size_t kEntryBytes = 32;

// A name is ten bytes as stored, a type name at most six characters
// ("-32768"), a machine tag five ("71/41").
using FileName = InlineText<10>;
using TypeName = InlineText<6>;
using MachineTag = InlineText<5>;

struct LifDirEntry {
  FileName name;
  int16_t typeCode = 0;
  uint32_t startSector = 0;
  uint32_t sectorCount = 0;
  BcdStamp stampBcd{};
  StampText stamp;
  uint16_t volumeWord = 0;
  uint32_t implWord = 0;

  TypeName typeName;
  MachineTag machineTag;
  bool flagA = false;
  bool flagP = false;
  bool flagS = false;
  uint32_t sizeBytes = 0;
  uint32_t regCount = 0;

  // Decodes the entry and its type from its bytes in memory, of which only
  // the first `available` could be read (byte_reader.h: the fields of a cut
  // record). False at the end marker and for a "75" entry whose volume word
  // is not 0x8001; the caller then keeps nothing of it and reads no further
  // entry.
  bool readEntry(const unsigned char* record, std::size_t available);

  // Byte size of a "71" file from the nibble count in implWord, less an
  // offset of k nibbles. Wraps modulo 2^32 for counts below k - 1.
  uint32_t nibbleBytes(uint32_t k) const {
    // The nibble count is the three upper bytes of implWord, least
    // significant first.
    const uint32_t nibbles =
        ((implWord >> 24) & 0xFF) | ((implWord >> 8) & 0xFF00) | ((implWord << 8) & 0xFF0000);
    return (nibbles - k + 1) >> 1;
  }
};

}  // namespace tamrik

#endif  // TAMRIK_LIF_LIF_DIR_ENTRY_H_
