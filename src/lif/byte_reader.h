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
#include <cstring>
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

// The big-endian field of `width` (2 or 4) bytes at `offset` of a record
// of which only the first `available` bytes could be read. Read field by
// field, the byte after the last available one would be the end-of-file
// value, whose low bits are 0xFF, and would end its field; the fields after
// it would read as 0.
inline uint32_t recordFieldBE(const unsigned char* record, std::size_t available,
                              std::size_t offset, std::size_t width) {
  if (offset + width <= available) {
    // One expression for a whole field, which compilers make a load and a
    // byte swap.
    const unsigned char* at = record + offset;
    return width == 2
               ? uint32_t{at[0]} << 8 | at[1]
               : uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
  }
  if (offset > available) return 0;
  uint32_t value = 0;
  for (std::size_t i = offset; i < available; ++i) value = value << 8 | record[i];
  return value << 8 | 0xFF;
}

// "YY/MM/DD HH:MM:SS" from year, month, day, hour, minute, second in BCD.
// Nibbles above 9 are not rejected: they print as ':' to '?'.
inline StampText formatBcdStamp(const BcdStamp& bcd) {
  // The two characters of every byte value, made at compile time.
  static constexpr std::array<char, 512> kDigitPairs = [] {
    std::array<char, 512> pairs{};
    for (std::size_t byte = 0; byte < 256; ++byte) {
      pairs[2 * byte] = static_cast<char>('0' + (byte >> 4));
      pairs[2 * byte + 1] = static_cast<char>('0' + (byte & 0x0F));
    }
    return pairs;
  }();
  // Copied whole from a constant, so that only the digits are written here.
  static constexpr StampText kPunctuation("00/00/00 00:00:00");
  // A copy of the bytes, which the stores below cannot be taken to change.
  const BcdStamp bytes = bcd;
  StampText text = kPunctuation;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::memcpy(text.bytes.data() + 3 * i, kDigitPairs.data() + 2 * std::size_t{bytes[i]}, 2);
  }
  return text;
}

}  // namespace tamrik

#endif  // TAMRIK_LIF_BYTE_READER_H_
