// SPDX-License-Identifier: MIT
#include "container/imagedisk.h"

#include <cstdint>
#include <cstring>

namespace tamrik::container {
namespace {

constexpr unsigned kCylinderMap = 0x80;
constexpr unsigned kHeadMap = 0x40;
constexpr unsigned kLastRecordType = 8;

}  // namespace

bool skipImageDiskText(std::streambuf& file) {
  char chunk[512];
  for (std::size_t read = 0; read < kMaxContainerBytes; read += sizeof chunk) {
    const std::streamsize got = file.sgetn(chunk, sizeof chunk);
    if (got <= 0) return false;
    const void* end = std::memchr(chunk, 0x1A, static_cast<std::size_t>(got));
    if (end != nullptr) {
      // Back to just after the 0x1A.
      const std::streamoff after = static_cast<const char*>(end) - chunk + 1;
      return file.pubseekoff(after - got, std::ios_base::cur, std::ios_base::in) !=
             std::streampos(std::streamoff(-1));
    }
  }
  return false;
}

bool ImageDiskReader::nextTrack(TrackRecord& track) {
  track.clear();
  std::streambuf& in = *file;
  if (in.pubseekoff(0, std::ios_base::cur, std::ios_base::in) >
      static_cast<std::streamoff>(kMaxContainerBytes)) {
    return false;
  }
  unsigned char header[5];
  if (!readExactly(in, header, sizeof header) || header[4] > kMaxSizeCode) return false;
  const unsigned count = header[3];
  const uint32_t size = 128U << header[4];
  unsigned char ids[255];
  unsigned char cylinders[255];
  unsigned char heads[255];
  std::memset(cylinders, header[1], sizeof cylinders);
  std::memset(heads, header[2] & 0x3F, sizeof heads);
  if (!readExactly(in, ids, count) ||
      ((header[2] & kCylinderMap) != 0 && !readExactly(in, cylinders, count)) ||
      ((header[2] & kHeadMap) != 0 && !readExactly(in, heads, count))) {
    return false;
  }
  for (unsigned i = 0; i < count; ++i) {
    const std::streambuf::int_type type = in.sbumpc();
    if (type < 0 || type > static_cast<int>(kLastRecordType)) return false;
    SectorRecord sector;
    sector.cylinder = cylinders[i];
    sector.head = heads[i];
    sector.id = ids[i];
    sector.size = size;
    if (type != 0) {
      decodedBytes += size;
      if (decodedBytes > kMaxContainerBytes) return false;
      sector.dataOffset = track.data.size();
      track.data.resize(sector.dataOffset + size);
      unsigned char* data = track.data.data() + sector.dataOffset;
      if (type % 2 == 1) {
        if (!readExactly(in, data, size)) return false;
      } else {
        const std::streambuf::int_type fill = in.sbumpc();
        if (fill < 0) return false;
        std::memset(data, fill, size);
      }
      sector.hasData = true;
    }
    track.sectors.push_back(sector);
  }
  return true;
}

}  // namespace tamrik::container
