// SPDX-License-Identifier: MIT
#include "container/teledisk.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace tamrik::container {
namespace {

constexpr unsigned kCommentFlag = 0x80;
constexpr unsigned kNoData = 0x30;
constexpr unsigned kMadeUpId = 0x40;
constexpr unsigned kDataError = 0x02;
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

// Why the records stopped inside one.
TrackOutcome cutShort(const TelediskReader& reader) {
  if (!reader.unpacked) return TrackOutcome::damaged("track record cut short"_reason);
  if (reader.unpacked->limitReached()) {
    return TrackOutcome::damaged("the compressed data unpacks to more than 16 MiB"_reason);
  }
  return TrackOutcome::damaged("compressed data ends inside a record"_reason);
}

}  // namespace

bool recognisesTeledisk(std::span<const unsigned char> head) {
  return head.size() >= 2 &&
         ((head[0] == 'T' && head[1] == 'D') || (head[0] == 't' && head[1] == 'd'));
}

TrackSource openTeledisk(std::unique_ptr<std::streambuf> file) {
  unsigned char header[kTelediskHeaderBytes];
  if (!readExactly(*file, header, sizeof header)) {
    return {{}, "the Teledisk header is cut short"_reason, 0};
  }
  if (crc16(header, 10) != (header[10] | header[11] << 8)) {
    return {{}, "the Teledisk header's CRC is wrong"_reason, 0};
  }
  if (header[0] == 't' && header[4] < kFirstLzhufVersion) {
    return {{},
            fill("Teledisk {}.{} packs its files in a form that is not read"_reason,
                 {std::to_string(header[4] / 10), std::to_string(header[4] % 10)}),
            0};
  }
  auto reader = std::make_shared<TelediskReader>(std::move(file), header);
  return {[reader](TrackRecord& track) { return reader->nextTrack(track); },
          {},
          header[9] == 1 ? 1U : 2U};
}

TelediskReader::TelediskReader(std::unique_ptr<std::streambuf> packedOrNot,
                               const unsigned char (&header)[kTelediskHeaderBytes])
    : file(std::move(packedOrNot)), commentFollows((header[7] & kCommentFlag) != 0) {
  if (header[0] == 't') unpacked = std::make_unique<LzhufStreamBuf>(*file, kMaxContainerBytes);
}

TrackOutcome TelediskReader::nextTrack(TrackRecord& track) {
  track.clear();
  std::streambuf& in = unpacked ? *unpacked : *file;
  if (commentFollows) {
    commentFollows = false;
    unsigned char fields[10];
    if (!readExactly(in, fields, sizeof fields)) return cutShort(*this);
    block.resize(fields[2] | std::size_t{fields[3]} << 8);
    if (!readExactly(in, block.data(), block.size())) return cutShort(*this);
  }
  unsigned char header[4];
  const std::streamsize got = in.sgetn(reinterpret_cast<char*>(header), sizeof header);
  if (got == 0) return TrackOutcome::damaged("the file ends without its end record"_reason);
  if (got != sizeof header) return cutShort(*this);
  if (header[0] == kEndOfImage) return TrackOutcome::end();
  track.held.push_back({header[1], static_cast<uint8_t>(header[2] & 0x7F)});
  for (unsigned i = 0; i < header[0]; ++i) {
    unsigned char fields[6];
    if (!readExactly(in, fields, sizeof fields)) return cutShort(*this);
    SectorRecord sector;
    sector.cylinder = fields[0];
    sector.head = fields[1];
    sector.id = fields[2];
    if (fields[3] <= kMaxSizeCode) sector.size = 128U << fields[3];
    sector.madeUpId = (fields[4] & kMadeUpId) != 0;
    if ((fields[4] & kNoData) == 0) {
      unsigned char length[2];
      if (!readExactly(in, length, sizeof length)) return cutShort(*this);
      block.resize(length[0] | std::size_t{length[1]} << 8);
      if (block.empty()) return TrackOutcome::damaged("a data block of length 0"_reason);
      if (!readExactly(in, block.data(), block.size())) return cutShort(*this);
      if (sector.size != 0) {
        decodedBytes += sector.size;
        if (decodedBytes > kMaxContainerBytes) {
          return TrackOutcome::damaged(kDecodedOverBound);
        }
        if (!track.fits(sector.size)) return TrackOutcome::damaged(kTracksOverBound);
        sector.dataOffset = track.data.size();
        track.data.resize(sector.dataOffset + sector.size);
        if (expand(block[0], block.data() + 1, block.size() - 1,
                   track.data.data() + sector.dataOffset, sector.size)) {
          sector.state =
              (fields[4] & kDataError) != 0 ? SectorState::kDataError : SectorState::kWhole;
        } else {
          sector.state = SectorState::kUndecoded;
          track.data.resize(sector.dataOffset);
        }
      }
    }
    track.sectors.push_back(sector);
  }
  return TrackOutcome::track();
}

}  // namespace tamrik::container
