// SPDX-License-Identifier: MIT
#include "container/mfm_track.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>

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

struct Tables {
  // CRC-16/CCITT a byte at a time ([0]), and the same byte followed by k
  // zero bytes ([k]), to take eight bytes a step.
  uint16_t crc[8][256] = {};
  // The byte that 16 cells hold: their data cells (1, 3, ... 15), the first
  // one highest.
  uint8_t byteOf[65536] = {};
  // For the 16 cells c read where a run of syncs stands, how many cells
  // into a sync they start, plus one; 0 for all others.
  uint8_t intoSync[65536] = {};
};

constexpr Tables makeTables() {
  Tables t;
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i << 8;
    for (int k = 0; k < 8; ++k) crc = (crc & 0x8000) != 0 ? (crc << 1 ^ 0x1021) & 0xFFFF : crc << 1;
    t.crc[0][i] = static_cast<uint16_t>(crc);
  }
  for (unsigned k = 1; k < 8; ++k) {
    for (unsigned i = 0; i < 256; ++i) {
      const unsigned before = t.crc[k - 1][i];
      t.crc[k][i] = static_cast<uint16_t>((before << 8 & 0xFFFF) ^ t.crc[0][before >> 8]);
    }
  }
  for (unsigned cells = 0; cells < 65536; ++cells) {
    unsigned byte = 0;
    for (unsigned cell = 1; cell < 16; cell += 2) byte = byte << 1 | (cells >> cell & 1U);
    t.byteOf[cells] = static_cast<uint8_t>(byte);
  }
  for (unsigned by = 0; by < 16; ++by) {
    t.intoSync[rotated(kSync, by)] = static_cast<uint8_t>(by + 1);
  }
  return t;
}

constexpr Tables kTables = makeTables();

constexpr uint16_t crcStep(uint16_t crc, unsigned byte) {
  return static_cast<uint16_t>(crc << 8 ^ kTables.crc[0][(crc >> 8 ^ byte) & 0xFF]);
}

uint16_t crcOver(uint16_t crc, const unsigned char* bytes, std::size_t count) {
  const auto& t = kTables.crc;
  for (; count >= 8; count -= 8, bytes += 8) {
    crc = static_cast<uint16_t>(t[7][(crc >> 8 ^ bytes[0]) & 0xFF] ^ t[6][(crc ^ bytes[1]) & 0xFF] ^
                                t[5][bytes[2]] ^ t[4][bytes[3]] ^ t[3][bytes[4]] ^ t[2][bytes[5]] ^
                                t[1][bytes[6]] ^ t[0][bytes[7]]);
  }
  for (; count > 0; --count) crc = crcStep(crc, *bytes++);
  return crc;
}

// The CRC as it stands before a field: over the three syncs and the mark.
constexpr uint16_t crcAfterMark(unsigned mark) {
  uint16_t crc = 0xFFFF;
  for (const unsigned byte : {0xA1U, 0xA1U, 0xA1U, mark}) crc = crcStep(crc, byte);
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

inline unsigned dataByte(unsigned cells) {
  return kTables.byteOf[cells];
}

// Decodes `count` bytes from cell `at` on into `out`.
void decodeBytes(const unsigned char* cells, std::size_t at, std::size_t count,
                 unsigned char* out) {
  // Three bytes from every eight bytes of cells, all at the same shift.
  const unsigned char* p = cells + at / 8;
  const unsigned shift = at % 8;
  std::size_t i = 0;
  for (; i + 3 <= count; i += 3, p += 6) {
    const uint64_t word = load64(p) >> shift;
    out[i] = static_cast<unsigned char>(dataByte(word & 0xFFFF));
    out[i + 1] = static_cast<unsigned char>(dataByte(word >> 16 & 0xFFFF));
    out[i + 2] = static_cast<unsigned char>(dataByte(word >> 32 & 0xFFFF));
  }
  for (; i < count; ++i) out[i] = static_cast<unsigned char>(dataByte(cells16(cells, at + 16 * i)));
}

// Where the first run of syncs from cell `from` on starts, with 16 cells of
// it before `end`; `end` when there is none. A run of two or more syncs
// covers a 16-cell boundary with 16 of its cells, so only those are looked
// at, four at a time: the same 16 cells turned by how far into a sync they
// start.
std::size_t findSync(const unsigned char* cells, std::size_t from, std::size_t end) {
  for (std::size_t at = (from + 15) / 16 * 16; at + 16 <= end; at += 64) {
    const uint64_t word = load64(cells + at / 8);
    const auto& into = kTables.intoSync;
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

void decodeMfmTrack(const unsigned char* cells, std::size_t cellBytes, TrackRecord& track) {
  const std::size_t end = cellBytes * 8;
  constexpr std::size_t kNone = SIZE_MAX;
  std::size_t open = kNone;  // the sector of the last id field, while it awaits its data
  for (std::size_t at = findSync(cells, 0, end); at < end; at = findSync(cells, at, end)) {
    at += kCellsPerByte;
    while (at + kCellsPerByte <= end && cells16(cells, at) == kSync) at += kCellsPerByte;
    if (at + kCellsPerByte > end) break;
    const unsigned mark = dataByte(cells16(cells, at));
    at += kCellsPerByte;
    // A field whose CRC is wrong is looked into again from after its mark:
    // a sync inside it may start the next field.
    if (mark == kIdMark) {
      open = kNone;
      unsigned char id[kIdBytes];
      if (at + kCellsPerByte * kIdBytes > end) break;
      decodeBytes(cells, at, kIdBytes, id);
      if (crcOver(crcAfterMark(kIdMark), id, kIdBytes) != 0) continue;
      at += kCellsPerByte * kIdBytes;
      SectorRecord& sector = track.sectors.emplace_back();
      sector.cylinder = id[0];
      sector.head = id[1];
      sector.id = id[2];
      sector.size = id[3] <= kMaxSizeCode ? 128U << id[3] : 0;
      sector.state = SectorState::kNoData;
      open = track.sectors.size() - 1;
    } else if ((mark == kDataMark || mark == kDeletedMark) && open != kNone) {
      SectorRecord& sector = track.sectors[open];
      open = kNone;
      if (sector.size == 0) continue;
      const std::size_t stored = std::size_t{sector.size} + 2;
      const std::size_t there = std::min(stored, (end - at) / kCellsPerByte);
      sector.dataOffset = track.data.size();
      // Zeros where the track ends first.
      track.data.resize(sector.dataOffset + stored);
      unsigned char* data = track.data.data() + sector.dataOffset;
      decodeBytes(cells, at, there, data);
      const bool whole = there == stored && crcOver(crcAfterMark(mark), data, stored) == 0;
      track.data.resize(sector.dataOffset + sector.size);
      sector.state = whole ? SectorState::kWhole : SectorState::kDataError;
      if (whole) at += kCellsPerByte * stored;
    }
  }
}

}  // namespace tamrik::container
