// SPDX-License-Identifier: MIT
#include "container/hfe.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "container/mfm_track.h"

namespace tamrik::container {
namespace {

constexpr std::size_t kSignatureBytes = 8;
constexpr char kSignature[] = "HXCPICFE";
constexpr char kLaterSignature[] = "HXCHFEV3";
constexpr std::size_t kHeaderBytes = 26;
constexpr std::size_t kBlock = 512;
constexpr std::size_t kHalf = 256;
constexpr unsigned kMfm = 0;
constexpr unsigned kAlternative = 0x00;

unsigned le16(const unsigned char* at) {
  return at[0] | unsigned{at[1]} << 8;
}

std::string encodingName(unsigned encoding) {
  switch (encoding) {
    case 1:
      return "Amiga MFM";
    case 2:
      return "FM";
    case 3:
      return "EMU FM";
    case 0xFF:
      return "an unknown encoding";
    default:
      return "encoding " + std::to_string(encoding);
  }
}

// The bytes of the file that a cylinder of `sideBytes` a side spans, up to
// the last of side 1's.
std::size_t spanOf(std::size_t sideBytes) {
  if (sideBytes == 0) return 0;
  return (sideBytes - 1) / kHalf * kBlock + kHalf + (sideBytes - 1) % kHalf + 1;
}

struct HfeCylinder {
  uint64_t start = 0;
  std::size_t sideBytes = 0;
};

struct HfeReader {
  std::unique_ptr<std::streambuf> file;
  std::vector<HfeCylinder> cylinders;
  unsigned sides = 0;
  std::size_t next = 0;
  // A cylinder as the file holds it, and one side of it in medium order;
  // left uninitialised, as every byte used is written first.
  std::unique_ptr<unsigned char[]> stored;
  std::unique_ptr<unsigned char[]> cells;
  std::size_t room = 0;
  std::size_t decodable = kMaxContainerBytes;  // sector bytes left to decode

  TrackOutcome read(TrackRecord& track) {
    track.clear();
    if (next == cylinders.size()) return TrackOutcome::end();
    const HfeCylinder cylinder = cylinders[next++];
    const std::size_t span = spanOf(cylinder.sideBytes);
    if (span + kMfmPadding > room) {
      room = span + kMfmPadding;
      // Not make_unique_for_overwrite: the page's standard library lacks it.
      stored.reset(new unsigned char[room]);
      cells.reset(new unsigned char[room]);
    }
    const auto start = static_cast<std::streamoff>(cylinder.start);
    if (file->pubseekpos(start, std::ios_base::in) != std::streampos(start) ||
        !readExactly(*file, stored.get(), span)) {
      return TrackOutcome::damaged(
          fill("cylinder {} is cut short"_reason, {std::to_string(next - 1)}));
    }
    std::memset(cells.get() + cylinder.sideBytes, 0, kMfmPadding);
    for (unsigned side = 0; side < sides; ++side) {
      track.held.push_back({static_cast<uint8_t>(next - 1), static_cast<uint8_t>(side)});
      for (std::size_t at = 0; at < cylinder.sideBytes; at += kHalf) {
        const unsigned char* from = stored.get() + at / kHalf * kBlock + side * kHalf;
        std::memcpy(&cells[at], from, std::min(kHalf, cylinder.sideBytes - at));
      }
      // Within both the file's bound and the room the volume leaves.
      const std::size_t left =
          track.maxData > track.data.size() ? track.maxData - track.data.size() : 0;
      const bool fileBound = decodable <= left;
      std::size_t allowed = std::min(decodable, left);
      const std::size_t before = allowed;
      const bool decoded = decodeMfmTrack(cells.get(), cylinder.sideBytes, track, allowed);
      decodable -= before - allowed;
      if (!decoded) return TrackOutcome::damaged(fileBound ? kDecodedOverBound : kTracksOverBound);
    }
    return TrackOutcome::track();
  }
};

// Whether the file has its first `bytes` bytes; what lies past 16 MiB is
// not read, and does not count.
bool holds(std::streambuf& file, uint64_t bytes) {
  if (bytes == 0) return true;
  if (bytes > kMaxContainerBytes) return false;
  const auto last = static_cast<std::streamoff>(bytes - 1);
  return file.pubseekpos(last, std::ios_base::in) == std::streampos(last) &&
         file.sgetc() != std::streambuf::traits_type::eof();
}

TrackSource refused(std::string why) {
  TrackSource source;
  source.refusal = std::move(why);
  return source;
}

}  // namespace

bool recognisesHfe(std::span<const unsigned char> head) {
  return head.size() >= kSignatureBytes &&
         (std::memcmp(head.data(), kSignature, kSignatureBytes) == 0 ||
          std::memcmp(head.data(), kLaterSignature, kSignatureBytes) == 0);
}

TrackSource openHfe(std::unique_ptr<std::streambuf> file) {
  unsigned char header[kHeaderBytes];
  if (!readExactly(*file, header, sizeof header)) {
    return refused("the HFE header is cut short"_reason);
  }
  if (std::memcmp(header, kLaterSignature, kSignatureBytes) == 0) {
    return refused("HFE files of revision 3 (HXCHFEV3) are not read"_reason);
  }
  if (header[8] != 0) {
    return refused(
        fill("HFE files of format revision {} are not read"_reason, {std::to_string(header[8])}));
  }
  if (header[11] != kMfm) {
    return refused(
        fill("its tracks are in {}; only MFM is read"_reason, {encodingName(header[11])}));
  }
  for (std::size_t side = 0; side < 2; ++side) {
    const unsigned char* alternative = header + 22 + 2 * side;
    if (alternative[0] == kAlternative && alternative[1] != kMfm) {
      return refused(fill("track 0 of side {} is in {}; only MFM is read"_reason,
                          {std::to_string(side), encodingName(alternative[1])}));
    }
  }
  const unsigned count = header[9];
  const unsigned sides = header[10];
  if (sides != 1 && sides != 2) {
    return refused(fill("the HFE header gives {} sides"_reason, {std::to_string(sides)}));
  }

  const uint64_t listStart = uint64_t{le16(header + 18)} * kBlock;
  std::vector<unsigned char> list(std::size_t{count} * 4);
  if (!holds(*file, listStart + list.size()) ||
      file->pubseekpos(static_cast<std::streamoff>(listStart), std::ios_base::in) !=
          std::streampos(static_cast<std::streamoff>(listStart)) ||
      !readExactly(*file, list.data(), list.size())) {
    return refused("the HFE header places its track list outside the file"_reason);
  }
  auto reader = std::make_shared<HfeReader>();
  reader->sides = sides;
  uint64_t furthest = 0;
  for (std::size_t i = 0; i < count; ++i) {
    HfeCylinder& cylinder = reader->cylinders.emplace_back();
    cylinder.start = uint64_t{le16(&list[4 * i])} * kBlock;
    cylinder.sideBytes = le16(&list[4 * i + 2]) / 2;
    furthest = std::max(furthest, cylinder.start + spanOf(cylinder.sideBytes));
  }
  // One look at the furthest byte answers for all of them but in a file
  // that is refused, where the first cylinder outside is named.
  if (!holds(*file, furthest)) {
    unsigned outside = 0;
    while (outside + 1 < count && holds(*file, reader->cylinders[outside].start +
                                                   spanOf(reader->cylinders[outside].sideBytes))) {
      ++outside;
    }
    return refused(
        fill(furthest > kMaxContainerBytes
                 ? "the HFE header places cylinder {} past the first 16 MiB of the file"_reason
                 : "the HFE header places cylinder {} outside the file"_reason,
             {std::to_string(outside)}));
  }
  reader->file = std::move(file);
  TrackSource source;
  source.sides = sides;
  source.next = [reader](TrackRecord& track) { return reader->read(track); };
  return source;
}

}  // namespace tamrik::container
