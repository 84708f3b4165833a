// SPDX-License-Identifier: MIT
#include "container/imagedisk.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace tamrik::container {
namespace {

constexpr unsigned kCylinderMap = 0x80;
constexpr unsigned kHeadMap = 0x40;
constexpr unsigned kLastRecordType = 8;
constexpr int kFirstErrorType = 5;

TrackOutcome cutShort() {
  return TrackOutcome::damaged("track record cut short"_reason);
}

// Reads on to just after the text's end; false when the file ends first.
bool skipText(std::streambuf& file) {
  char chunk[512];
  for (;;) {
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
}

}  // namespace

bool recognisesImageDisk(std::span<const unsigned char> head) {
  return head.size() >= 4 && std::memcmp(head.data(), "IMD ", 4) == 0;
}

TrackSource openImageDisk(std::unique_ptr<std::streambuf> file) {
  if (!skipText(*file)) return {{}, "the ImageDisk text has no end"_reason, 0};
  auto reader = std::make_shared<ImageDiskReader>(ImageDiskReader{std::move(file)});
  return {[reader](TrackRecord& track) { return reader->nextTrack(track); }, {}, 0};
}

TrackOutcome ImageDiskReader::nextTrack(TrackRecord& track) {
  track.clear();
  std::streambuf& in = *file;
  unsigned char header[5];
  const std::streamsize got = in.sgetn(reinterpret_cast<char*>(header), sizeof header);
  if (got == 0) return TrackOutcome::end();
  if (got != sizeof header) return cutShort();
  if (header[4] > kMaxSizeCode) {
    return TrackOutcome::damaged(fill("sector size code {}"_reason, {std::to_string(header[4])}));
  }
  track.held.push_back({header[1], static_cast<uint8_t>(header[2] & 0x3F)});
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
    return cutShort();
  }
  for (unsigned i = 0; i < count; ++i) {
    const std::streambuf::int_type type = in.sbumpc();
    if (type < 0) return cutShort();
    if (type > static_cast<int>(kLastRecordType)) {
      return TrackOutcome::damaged(fill("sector record type {}"_reason, {std::to_string(type)}));
    }
    SectorRecord sector;
    sector.cylinder = cylinders[i];
    sector.head = heads[i];
    sector.id = ids[i];
    sector.size = size;
    if (type != 0) {
      decodedBytes += size;
      if (decodedBytes > kMaxContainerBytes) {
        return TrackOutcome::damaged(kDecodedOverBound);
      }
      if (!track.fits(size)) return TrackOutcome::damaged(kTracksOverBound);
      sector.dataOffset = track.data.size();
      track.data.resize(sector.dataOffset + size);
      unsigned char* data = track.data.data() + sector.dataOffset;
      if (type % 2 == 1) {
        if (!readExactly(in, data, size)) return cutShort();
      } else {
        const std::streambuf::int_type fill = in.sbumpc();
        if (fill < 0) return cutShort();
        std::memset(data, fill, size);
      }
      sector.state = type >= kFirstErrorType ? SectorState::kDataError : SectorState::kWhole;
    }
    track.sectors.push_back(sector);
  }
  return TrackOutcome::track();
}

}  // namespace tamrik::container
