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

namespace tamrik {

using BcdStamp = std::array<unsigned char, 6>;

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

// "YY/MM/DD HH:MM:SS" from year, month, day, hour, minute, second in BCD.
// Nibbles above 9 are not rejected: they print as ':' to '?'.
std::string formatBcdStamp(const BcdStamp& bcd);

}  // namespace tamrik

#endif  // TAMRIK_LIF_BYTE_READER_H_
