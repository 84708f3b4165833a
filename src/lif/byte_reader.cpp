// SPDX-License-Identifier: MIT
#include "lif/byte_reader.h"

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

}  // namespace tamrik
