// SPDX-License-Identifier: MIT
#include "lif/lif_volume.h"

#include <algorithm>
#include <cstring>

namespace tamrik {
namespace {

constexpr std::size_t kHeaderBytes = 42;
constexpr std::size_t kLabelBytes = 6;
// Slots read from the stream at a time: 4 KiB, a floppy's directory.
constexpr std::size_t kBlockSlots = 128;
// The most entries reserved at once for slots not yet read: a directory
// of 65,536 entries, about 5 MiB.
constexpr uint64_t kReservedSlots = 65536 + 8;

// seekg to an absolute offset without its sentry, which costs more than
// the seek itself: a failed stream stays where it is, and a position the
// buffer refuses fails it.
void seekTo(std::istream& in, uint64_t offset) {
  if (in.fail()) return;
  const std::streampos refused(std::streamoff(-1));
  if (in.rdbuf()->pubseekpos(static_cast<std::streamoff>(offset), std::ios_base::in) == refused) {
    in.setstate(std::ios_base::failbit);
  }
}

}  // namespace

bool LifVolume::readHeader() {
  stream.clear();
  seekTo(stream, 0);
  // The header in one block read; a field that is cut short reads as
  // reading field by field would give it (byte_reader.h), and missing text
  // and stamp bytes as zero.
  unsigned char raw[kHeaderBytes] = {};
  const std::size_t got = readBlock(stream, raw, kHeaderBytes);
  const auto field = [&](std::size_t offset, std::size_t width) {
    return recordFieldBE(raw, got, offset, width);
  };
  lifId = static_cast<uint16_t>(field(0, 2));
  if (lifId != kLifId) {
    refusal = {RefusalKind::kNotLif, 0, 0};
    return false;
  }

  label.assign(reinterpret_cast<const char*>(raw) + 2, kLabelBytes);
  dirStart = field(8, 4);
  auxWord = static_cast<uint16_t>(field(12, 2));
  dirLength = field(16, 4);
  version = static_cast<uint16_t>(field(20, 2));
  tracks = field(24, 4);
  surfaces = field(28, 4);
  sectorsPerTrack = field(32, 4);
  std::memcpy(initBcd.data(), raw + 36, initBcd.size());
  initStamp = formatBcdStamp(initBcd);

  if (version == 0 && tracks == 0 && surfaces == 0 && sectorsPerTrack == 0) {
    version = 1;
    tracks = 77;
    surfaces = 2;
    sectorsPerTrack = 16;
  }
  if (got < kHeaderBytes) {
    refusal = {RefusalKind::kHeaderCut, got, kHeaderBytes};
    return false;
  }
  refusal = {};
  return stream.good();
}

bool LifVolume::readDirectory() {
  if (!readHeader()) return false;
  stream.clear();
  // Formed in 64 bits so that no header value can wrap to a smaller offset
  // or slot count; a directory beyond the end of the image fails to read.
  const uint64_t dirOffset = uint64_t{dirStart} * kSectorBytes;
  seekTo(stream, dirOffset);
  const uint64_t dirSlots = uint64_t{dirLength} * (kSectorBytes / kEntryBytes);
  if (!stream.good()) {
    refusal = {RefusalKind::kDirectoryOutside, dirStart, 0};
    return false;
  }
  uint64_t slotsLeft = dirSlots;
  // Room for the first block up front, a floppy's whole directory.
  entries.reserve(static_cast<std::size_t>(std::min<uint64_t>(slotsLeft, kBlockSlots)));

  // Whole slots are taken from the stream's buffer, a block at a time, and
  // each entry is decoded in memory. The image fails to read where it ends
  // before the bytes that reading entry by entry would have needed.
  std::streambuf& source = *stream.rdbuf();
  unsigned char block[kBlockSlots * kEntryBytes];
  // Each slot is decoded here, every field of it, and only an entry that
  // is kept is copied to the list.
  LifDirEntry entry;
  while (slotsLeft > 0) {
    // A list that its entries have filled gets room for every slot left at
    // once, so that a large directory is not moved again and again while
    // it grows. A header's claim of a huge directory reserves nothing until
    // entries fill the list, and then no more than a large real directory
    // needs, or as much again as the list holds.
    if (entries.size() == entries.capacity()) {
      const uint64_t more =
          std::min<uint64_t>(slotsLeft, std::max<uint64_t>(kReservedSlots, entries.size()));
      entries.reserve(entries.size() + static_cast<std::size_t>(more));
    }
    // The slots the stream's buffer holds, refilled first when it is empty
    // (the next entry needs that read anyway), and one slot when it holds
    // less: reading ahead of the entries would cost a read of the file that
    // a directory ending early never needed.
    if (source.in_avail() <= 0) source.sgetc();
    const std::streamsize buffered = source.in_avail();
    const uint64_t inBuffer = buffered >= static_cast<std::streamsize>(kEntryBytes)
                                  ? static_cast<uint64_t>(buffered) / kEntryBytes
                                  : 1;
    const auto slots =
        static_cast<std::size_t>(std::min({slotsLeft, uint64_t{kBlockSlots}, inBuffer}));
    const auto got = static_cast<std::size_t>(source.sgetn(
        reinterpret_cast<char*>(block), static_cast<std::streamsize>(slots * kEntryBytes)));
    for (std::size_t at = 0; at < slots * kEntryBytes; at += kEntryBytes) {
      --slotsLeft;
      const std::size_t available = got > at ? std::min(got - at, kEntryBytes) : 0;
      const bool accepted = entry.readEntry(block + at, available);
      // The end marker is taken without the 20 bytes after its type code.
      const bool endMarker = static_cast<uint16_t>(entry.typeCode) == kEndOfDirectory;
      const std::size_t wanted = endMarker ? 12 : kEntryBytes;
      if (accepted && entry.typeCode != 0) entries.push_back(entry);
      if (available < wanted) {
        stream.setstate(std::ios_base::eofbit | std::ios_base::failbit);
        const uint64_t slot = dirSlots - slotsLeft;
        refusal = slot == 1 && available == 0
                      ? LifRefusal{RefusalKind::kDirectoryOutside, dirStart, 0}
                      : LifRefusal{RefusalKind::kDirectoryCut, slot, dirSlots};
        return false;
      }
      if (!accepted) {
        slotsLeft = 0;
        break;
      }
    }
  }
  return true;
}

}  // namespace tamrik
