// SPDX-License-Identifier: MIT
#include "container/teledisk.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tamrik::container {
namespace {

constexpr unsigned kCommentFlag = 0x80;
constexpr unsigned kNoData = 0x30;
constexpr unsigned kMadeUpId = 0x40;
constexpr unsigned kEndOfImage = 0xFF;
// Version 2.0: the first whose "td" files are packed with LZHUF.
constexpr unsigned kFirstLzhufVersion = 20;

uint16_t crc16(const unsigned char* bytes, std::size_t count) {
  unsigned crc = 0;
  for (std::size_t i = 0; i < count; ++i) {
    crc ^= unsigned{bytes[i]} << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) != 0 ? crc << 1 ^ 0xA097 : crc << 1;
  }
  return static_cast<uint16_t>(crc);
}

// Expands one data block into the sector's `size` bytes, which stand at
// zero; a block that makes too little leaves the rest zero, one that makes
// too much is cut. False for an encoding this reader does not know.
bool expand(unsigned encoding, const unsigned char* in, std::size_t count, unsigned char* out,
            std::size_t size) {
  std::size_t made = 0;
  switch (encoding) {
    case 0:
      std::memcpy(out, in, std::min(count, size));
      return true;
    case 1:
      for (std::size_t i = 0; i + 4 <= count && made < size; i += 4) {
        for (unsigned times = in[i] | unsigned{in[i + 1]} << 8; times > 0 && made < size; --times) {
          out[made++] = in[i + 2];
          if (made < size) out[made++] = in[i + 3];
        }
      }
      return true;
    case 2:
      for (std::size_t i = 0; i + 2 <= count && made < size;) {
        const std::size_t kind = in[i];
        const std::size_t n = in[i + 1];
        i += 2;
        if (kind == 0) {
          const std::size_t copied = std::min({n, count - i, size - made});
          std::memcpy(out + made, in + i, copied);
          made += copied;
          i += n;
          continue;
        }
        const std::size_t length = 2 * kind;
        if (length > count - i) break;
        for (std::size_t times = n; times > 0 && made < size; --times) {
          const std::size_t copied = std::min(length, size - made);
          std::memcpy(out + made, in + i, copied);
          made += copied;
        }
        i += length;
      }
      return true;
    default:
      return false;
  }
}

}  // namespace

bool isTeledisk(const unsigned char (&header)[kTelediskHeaderBytes]) {
  const bool normal = header[0] == 'T' && header[1] == 'D';
  const bool advanced = header[0] == 't' && header[1] == 'd';
  if (!normal && !advanced) return false;
  if (crc16(header, 10) != (header[10] | header[11] << 8)) return false;
  return normal || header[4] >= kFirstLzhufVersion;
}

TelediskReader::TelediskReader(std::unique_ptr<std::streambuf> packedOrNot,
                               const unsigned char (&header)[kTelediskHeaderBytes])
    : file(std::move(packedOrNot)), commentFollows((header[7] & kCommentFlag) != 0) {
  if (header[0] == 't') unpacked = std::make_unique<LzhufStreamBuf>(*file, kMaxContainerBytes);
}

bool TelediskReader::nextTrack(TrackRecord& track) {
  track.clear();
  std::streambuf& in = unpacked ? *unpacked : *file;
  if (commentFollows) {
    commentFollows = false;
    unsigned char fields[10];
    if (!readExactly(in, fields, sizeof fields)) return false;
    block.resize(fields[2] | std::size_t{fields[3]} << 8);
    if (!readExactly(in, block.data(), block.size())) return false;
  }
  if (!unpacked && file->pubseekoff(0, std::ios_base::cur, std::ios_base::in) >
                       static_cast<std::streamoff>(kMaxContainerBytes)) {
    return false;
  }
  unsigned char header[4];
  if (!readExactly(in, header, sizeof header) || header[0] == kEndOfImage) return false;
  for (unsigned i = 0; i < header[0]; ++i) {
    unsigned char fields[6];
    if (!readExactly(in, fields, sizeof fields)) return false;
    SectorRecord sector;
    sector.cylinder = fields[0];
    sector.head = fields[1];
    sector.id = fields[2];
    if (fields[3] <= kMaxSizeCode) sector.size = 128U << fields[3];
    sector.madeUpId = (fields[4] & kMadeUpId) != 0;
    if ((fields[4] & kNoData) == 0) {
      unsigned char length[2];
      if (!readExactly(in, length, sizeof length)) return false;
      block.resize(length[0] | std::size_t{length[1]} << 8);
      if (block.empty() || !readExactly(in, block.data(), block.size())) return false;
      if (sector.size != 0) {
        decodedBytes += sector.size;
        if (decodedBytes > kMaxContainerBytes) return false;
        sector.dataOffset = track.data.size();
        track.data.resize(sector.dataOffset + sector.size);
        sector.hasData = expand(block[0], block.data() + 1, block.size() - 1,
                                track.data.data() + sector.dataOffset, sector.size);
        if (!sector.hasData) track.data.resize(sector.dataOffset);
      }
    }
    track.sectors.push_back(sector);
  }
  return true;
}

}  // namespace tamrik::container
