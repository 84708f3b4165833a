// SPDX-License-Identifier: MIT
#include "container/mfm_track.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace tamrik::container {
namespace {

// The cells are kept with the first in the least significant bit, so a sync
// (0x4489 with its first cell most significant) reads as its mirror image.
constexpr unsigned kSync = 0x9122;
constexpr unsigned kIdMark = 0xFE;
constexpr unsigned kDataMark = 0xFB;
constexpr unsigned kDeletedMark = 0xF8;
constexpr std::size_t kCellsPerByte = 16;
constexpr std::size_t kIdBytes = 6;  // cylinder, head, id, size code, CRC

constexpr unsigned rotated(unsigned cells, unsigned by) {
  return (cells >> by | cells << (16 - by)) & 0xFFFF;
}

// Made on first use, not at compile time: 130 KB of tables would take a
// third of the page's budget for its files.
struct Tables {
  // CRC-16/CCITT a byte at a time ([0]), and the same byte followed by k
  // zero bytes ([k]), to take eight bytes a step.
  uint16_t crc[8][256];
  // The byte that 16 cells hold: their data cells (1, 3, ... 15), the first
  // one highest.
  uint8_t byteOf[65536];
  // For the 16 cells c read where a run of syncs stands, how many cells
  // into a sync they start, plus one; 0 for all others.
  uint8_t intoSync[65536] = {};

  Tables() {
    for (unsigned i = 0; i < 256; ++i) {
      unsigned value = i << 8;
      for (int k = 0; k < 8; ++k) {
        value = (value & 0x8000) != 0 ? (value << 1 ^ 0x1021) & 0xFFFF : value << 1;
      }
      crc[0][i] = static_cast<uint16_t>(value);
    }
    for (unsigned k = 1; k < 8; ++k) {
      for (unsigned i = 0; i < 256; ++i) {
        const unsigned before = crc[k - 1][i];
        crc[k][i] = static_cast<uint16_t>((before << 8 & 0xFFFF) ^ crc[0][before >> 8]);
      }
    }
    uint8_t half[256];  // the four data cells of eight cells
    for (unsigned i = 0; i < 256; ++i) {
      half[i] = static_cast<uint8_t>((i << 2 & 8) | (i >> 1 & 4) | (i >> 4 & 2) | (i >> 7 & 1));
    }
    for (unsigned cells = 0; cells < 65536; ++cells) {
      byteOf[cells] = static_cast<uint8_t>(half[cells & 0xFF] << 4 | half[cells >> 8]);
    }
    for (unsigned by = 0; by < 16; ++by) {
      intoSync[rotated(kSync, by)] = static_cast<uint8_t>(by + 1);
    }
  }
};

const Tables& tables() {
  static const Tables made;
  return made;
}

inline uint16_t crcStep(const Tables& t, uint16_t crc, unsigned byte) {
  return static_cast<uint16_t>(crc << 8 ^ t.crc[0][(crc >> 8 ^ byte) & 0xFF]);
}

uint16_t crcOver(const Tables& tables, uint16_t crc, const unsigned char* bytes,
                 std::size_t count) {
  const auto& t = tables.crc;
  for (; count >= 8; count -= 8, bytes += 8) {
    crc = static_cast<uint16_t>(t[7][(crc >> 8 ^ bytes[0]) & 0xFF] ^ t[6][(crc ^ bytes[1]) & 0xFF] ^
                                t[5][bytes[2]] ^ t[4][bytes[3]] ^ t[3][bytes[4]] ^ t[2][bytes[5]] ^
                                t[1][bytes[6]] ^ t[0][bytes[7]]);
  }
  for (; count > 0; --count) crc = crcStep(tables, crc, *bytes++);
  return crc;
}

// The CRC as it stands before a field: over the three syncs and the mark.
uint16_t crcAfterMark(const Tables& t, unsigned mark) {
  uint16_t crc = 0xFFFF;
  for (const unsigned byte : {0xA1U, 0xA1U, 0xA1U, mark}) crc = crcStep(t, crc, byte);
  return crc;
}

// Eight bytes of cells as a number, the first cell in its lowest bit.
inline uint64_t load64(const unsigned char* at) {
  uint64_t word = 0;
  std::memcpy(&word, at, sizeof word);
  if constexpr (std::endian::native == std::endian::big) {
    uint64_t swapped = 0;
    for (int k = 0; k < 8; ++k, word >>= 8) swapped = swapped << 8 | (word & 0xFF);
    word = swapped;
  }
  return word;
}

// The 16 cells from cell `at` on, the first in the least significant bit.
inline unsigned cells16(const unsigned char* cells, std::size_t at) {
  const unsigned char* p = cells + at / 8;
  const uint32_t word = p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
  return word >> at % 8 & 0xFFFF;
}

inline unsigned dataByte(const Tables& t, unsigned cells) {
  return t.byteOf[cells];
}

// Decodes `count` bytes from cell `at` on into `out`.
void decodeBytes(const Tables& t, const unsigned char* cells, std::size_t at, std::size_t count,
                 unsigned char* out) {
  // Three bytes from every eight bytes of cells, all at the same shift.
  const unsigned char* p = cells + at / 8;
  const unsigned shift = at % 8;
  std::size_t i = 0;
  for (; i + 3 <= count; i += 3, p += 6) {
    const uint64_t word = load64(p) >> shift;
    out[i] = static_cast<unsigned char>(dataByte(t, word & 0xFFFF));
    out[i + 1] = static_cast<unsigned char>(dataByte(t, word >> 16 & 0xFFFF));
    out[i + 2] = static_cast<unsigned char>(dataByte(t, word >> 32 & 0xFFFF));
  }
  for (; i < count; ++i) {
    out[i] = static_cast<unsigned char>(dataByte(t, cells16(cells, at + 16 * i)));
  }
}

// Where the first run of syncs from cell `from` on starts, with 16 cells of
// it before `end`; `end` when there is none. A run of two or more syncs
// covers a 16-cell boundary with 16 of its cells, so only those are looked
// at, four at a time: the same 16 cells turned by how far into a sync they
// start.
std::size_t findSync(const Tables& t, const unsigned char* cells, std::size_t from,
                     std::size_t end) {
  for (std::size_t at = (from + 15) / 16 * 16; at + 16 <= end; at += 64) {
    const uint64_t word = load64(cells + at / 8);
    const auto& into = t.intoSync;
    if ((into[word & 0xFFFF] | into[word >> 16 & 0xFFFF] | into[word >> 32 & 0xFFFF] |
         into[word >> 48]) == 0) {
      continue;
    }
    for (std::size_t lane = 0; lane < 4; ++lane) {
      const std::size_t here = at + 16 * lane;
      const unsigned into1 = into[word >> 16 * lane & 0xFFFF];
      if (into1 == 0) continue;
      if (here + 16 > end) return end;
      const unsigned by = into1 - 1;
      if (by > here) continue;
      const std::size_t start = here - by;
      if (start >= from && cells16(cells, start) == kSync) return start;
    }
  }
  return end;
}

}  // namespace

bool decodeMfmTrack(const unsigned char* cells, std::size_t cellBytes, TrackRecord& track,
                    std::size_t& decodable) {
  const Tables& t = tables();
  const std::size_t end = cellBytes * 8;
  constexpr std::size_t kNone = SIZE_MAX;
  std::size_t open = kNone;  // the sector of the last id field, while it awaits its data
  // The data fields found, decoded into the record only once the side is
  // read, so that its data is allocated once at its size.
  struct Found {
    std::size_t sector;
    std::size_t at;
    std::size_t there;
  };
  std::vector<Found> found;
  std::size_t sideBytes = 0;
  unsigned char field[(std::size_t{128} << kMaxSizeCode) + 2];
  for (std::size_t at = findSync(t, cells, 0, end); at < end; at = findSync(t, cells, at, end)) {
    at += kCellsPerByte;
    while (at + kCellsPerByte <= end && cells16(cells, at) == kSync) at += kCellsPerByte;
    if (at + kCellsPerByte > end) break;
    const unsigned mark = dataByte(t, cells16(cells, at));
    at += kCellsPerByte;
    // A field whose CRC is wrong is looked into again from after its mark:
    // a sync inside it may start the next field.
    if (mark == kIdMark) {
      open = kNone;
      unsigned char id[kIdBytes];
      if (at + kCellsPerByte * kIdBytes > end) break;
      decodeBytes(t, cells, at, kIdBytes, id);
      if (crcOver(t, crcAfterMark(t, kIdMark), id, kIdBytes) != 0) continue;
      at += kCellsPerByte * kIdBytes;
      SectorRecord& sector = track.sectors.emplace_back();
      sector.cylinder = id[0];
      sector.head = id[1];
      sector.id = id[2];
      sector.size = id[3] <= kMaxSizeCode ? 128U << id[3] : 0;
      sector.state = SectorState::kNoData;
      open = track.sectors.size() - 1;
    } else if ((mark == kDataMark || mark == kDeletedMark) && open != kNone) {
      const std::size_t index = open;
      SectorRecord& sector = track.sectors[index];
      open = kNone;
      if (sector.size == 0) continue;
      if (sector.size > decodable) return false;
      decodable -= sector.size;
      const std::size_t stored = std::size_t{sector.size} + 2;
      const std::size_t there = std::min(stored, (end - at) / kCellsPerByte);
      decodeBytes(t, cells, at, there, field);
      const bool whole = there == stored && crcOver(t, crcAfterMark(t, mark), field, stored) == 0;
      sector.state = whole ? SectorState::kWhole : SectorState::kDataError;
      sector.dataOffset = sideBytes;
      sideBytes += sector.size;
      found.push_back({index, at, std::min<std::size_t>(there, sector.size)});
      if (whole) at += kCellsPerByte * stored;
    }
  }
  // Zeros where the track ends first.
  const std::size_t base = track.data.size();
  track.data.resize(base + sideBytes);
  for (const Found& data : found) {
    SectorRecord& sector = track.sectors[data.sector];
    sector.dataOffset += base;
    decodeBytes(t, cells, data.at, data.there, track.data.data() + sector.dataOffset);
  }
  return true;
}

}  // namespace tamrik::container
