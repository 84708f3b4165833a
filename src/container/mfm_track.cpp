// SPDX-License-Identifier: MIT
#include "container/mfm_track.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <initializer_list>

namespace tamrik::container {
namespace {

constexpr unsigned kSync = 0x4489;
constexpr unsigned kIdMark = 0xFE;
constexpr unsigned kDataMark = 0xFB;
constexpr unsigned kDeletedMark = 0xF8;
constexpr std::size_t kCellsPerByte = 16;
constexpr std::size_t kIdBytes = 6;  // cylinder, head, id, size code, CRC

struct Tables {
  uint16_t crc[256] = {};
  // The data cells of eight cells (bits 6, 4, 2 and 0) as four bits.
  uint8_t dataBits[256] = {};
  // Bit s set: a sync that starts s cells into the byte before covers this
  // byte whole with this value. Every sync covers one byte whole, so only
  // bytes of the seven values this names need a closer look.
  uint8_t syncStarts[256] = {};
};

constexpr Tables makeTables() {
  Tables t;
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i << 8;
    for (int k = 0; k < 8; ++k) crc = (crc & 0x8000) != 0 ? (crc << 1 ^ 0x1021) & 0xFFFF : crc << 1;
    t.crc[i] = static_cast<uint16_t>(crc);
    t.dataBits[i] = static_cast<uint8_t>((i >> 3 & 8) | (i >> 2 & 4) | (i >> 1 & 2) | (i & 1));
  }
  for (unsigned s = 0; s < 8; ++s) t.syncStarts[kSync >> s & 0xFF] |= static_cast<uint8_t>(1 << s);
  return t;
}

constexpr Tables kTables = makeTables();

constexpr uint16_t crcStep(uint16_t crc, unsigned byte) {
  return static_cast<uint16_t>(crc << 8 ^ kTables.crc[(crc >> 8 ^ byte) & 0xFF]);
}

// The CRC as it stands before a field: over the three syncs and the mark.
constexpr uint16_t crcAfterMark(unsigned mark) {
  uint16_t crc = 0xFFFF;
  for (const unsigned byte : {0xA1U, 0xA1U, 0xA1U, mark}) crc = crcStep(crc, byte);
  return crc;
}

// The 16 cells from cell `at` on, the first in the most significant bit.
inline unsigned cells16(const unsigned char* cells, std::size_t at) {
  const unsigned char* p = cells + at / 8;
  const uint32_t word = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  return word >> (8 - at % 8) & 0xFFFF;
}

inline unsigned dataByte(unsigned cells) {
  return unsigned{kTables.dataBits[cells >> 8]} << 4 | kTables.dataBits[cells & 0xFF];
}

// Decodes `count` bytes from cell `at` on into `out`; the CRC from `crc` on
// over them, which is 0 when they end with their own right CRC.
uint16_t decodeBytes(const unsigned char* cells, std::size_t at, std::size_t count,
                     unsigned char* out, uint16_t crc) {
  // The cells of one byte are two bytes of cells at the same shift.
  const unsigned char* p = cells + at / 8;
  const unsigned shift = 8 - at % 8;
  for (std::size_t i = 0; i < count; ++i, p += 2) {
    const uint32_t word = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    const unsigned byte = dataByte(word >> shift & 0xFFFF);
    out[i] = static_cast<unsigned char>(byte);
    crc = crcStep(crc, byte);
  }
  return crc;
}

// The first cell from `from` on where a sync starts and ends before `end`;
// `end` when there is none.
std::size_t findSync(const unsigned char* cells, std::size_t from, std::size_t end) {
  for (std::size_t byte = from / 8 + 1; byte * 8 < end; ++byte) {
    for (unsigned starts = kTables.syncStarts[cells[byte]]; starts != 0; starts &= starts - 1) {
      const std::size_t at = (byte - 1) * 8 + static_cast<unsigned>(std::countr_zero(starts));
      if (at >= from && at + 16 <= end && cells16(cells, at) == kSync) return at;
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
      if (decodeBytes(cells, at, kIdBytes, id, crcAfterMark(kIdMark)) != 0) continue;
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
      const uint16_t crc = decodeBytes(cells, at, there, track.data.data() + sector.dataOffset,
                                       crcAfterMark(mark));
      track.data.resize(sector.dataOffset + sector.size);
      const bool whole = there == stored && crc == 0;
      sector.state = whole ? SectorState::kWhole : SectorState::kDataError;
      if (whole) at += kCellsPerByte * stored;
    }
  }
}

}  // namespace tamrik::container
