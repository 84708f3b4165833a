// SPDX-License-Identifier: MIT
// Readers for the big-endian integers, BCD timestamps and fixed-width text
// fields of a LIF image.
//
// They follow one rule so that callers need not test every read: once the
// stream has failed, integer reads yield 0 and block reads store nothing, and
// the final stream state tells whether the record was read whole.
#ifndef TAMRIK_LIF_BYTE_READER_H_
#define TAMRIK_LIF_BYTE_READER_H_

#include <array>
#include <cstdint>
#include <istream>
#include <string>

#include "lif/inline_text.h"

namespace tamrik {

using BcdStamp = std::array<unsigned char, 6>;
// A stamp as text, "YY/MM/DD HH:MM:SS": always 17 characters.
using StampText = InlineText<17>;

// Reads 2 or 4 bytes, most significant first. A byte missing at the end of
// the data contributes 0xFF (the low bits of the end-of-file value) and stops
// the read. Return whether the stream is still good.
bool readBE16(std::istream& in, uint16_t& value);
bool readBE32(std::istream& in, uint32_t& value);

// Reads an N-byte text field whole: blanks and NUL bytes stay, and bytes a
// short read did not deliver are NUL, so the text is always N characters.
std::string readFixedText(std::istream& in, std::size_t width);

// Reads six bytes; those a short read did not deliver are zero.
BcdStamp readBcdStamp(std::istream& in);

// Reads up to `size` bytes with one call on the stream's buffer and returns
// how many arrived. Fewer mark the stream failed and at end, and a stream
// that is not good reads nothing, as with istream::read.
std::size_t readBlock(std::istream& in, unsigned char* into, std::size_t size);

// The big-endian field of `width` (at most 4) bytes at `offset` of a record
// of which only the first `available` bytes could be read, with the value
// the stream readers above would have given when reading the record field
// by field: the byte after the last available one reads as 0xFF and ends
// its field, and the fields after it read as 0.
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
