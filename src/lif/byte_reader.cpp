// SPDX-License-Identifier: MIT
#include "lif/byte_reader.h"

#include <cstring>

namespace tamrik {

std::size_t readBlock(std::istream& in, unsigned char* into, std::size_t size) {
  if (!in.good()) {
    in.setstate(std::ios_base::failbit);
    return 0;
  }
  const std::streamsize got =
      in.rdbuf()->sgetn(reinterpret_cast<char*>(into), static_cast<std::streamsize>(size));
  if (got < static_cast<std::streamsize>(size)) {
    in.setstate(std::ios_base::eofbit | std::ios_base::failbit);
  }
  return static_cast<std::size_t>(got);
}

StampText formatBcdStamp(const BcdStamp& bcd) {
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
