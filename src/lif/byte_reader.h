// SPDX-License-Identifier: MIT
// The big-endian integers and BCD timestamps of a LIF image, decoded from
// records in memory. A record is read in one block; where the image ends
// inside it, its fields take the values that reading them one by one from
// a stream would have given, so that a cut record decodes the same
// whatever the size of the reads.
#ifndef TAMRIK_LIF_BYTE_READER_H_
#define TAMRIK_LIF_BYTE_READER_H_

#include <array>
#include <cstdint>
#include <istream>

#include "lif/inline_text.h"

namespace tamrik {

using BcdStamp = std::array<unsigned char, 6>;
// A stamp as text, "YY/MM/DD HH:MM:SS": always 17 characters.
using StampText = InlineText<17>;

// Reads up to `size` bytes with one call on the stream's buffer and returns
// how many arrived. Fewer mark the stream failed and at end, and a stream
// that is not good reads nothing, as with istream::read.
std::size_t readBlock(std::istream& in, unsigned char* into, std::size_t size);

// The big-endian field of `width` (at most 4) bytes at `offset` of a record
// of which only the first `available` bytes could be read. Read field by
// field, the byte after the last available one would be the end-of-file
// value, whose low bits are 0xFF, and would end its field; the fields after
// it would read as 0.
inline uint32_t recordFieldBE(const unsigned char* record, std::size_t available,
                              std::size_t offset, std::size_t width) {
  if (offset > available) return 0;
  const std::size_t present = width < available - offset ? width : available - offset;
  uint32_t value = 0;
  for (std::size_t i = 0; i < present; ++i) value = value << 8 | record[offset + i];
  if (present < width) value = value << 8 | 0xFF;
  return value;
}

// "YY/MM/DD HH:MM:SS" from year, month, day, hour, minute, second in BCD.
// Nibbles above 9 are not rejected: they print as ':' to '?'.
StampText formatBcdStamp(const BcdStamp& bcd);

}  // namespace tamrik

#endif  // TAMRIK_LIF_BYTE_READER_H_
