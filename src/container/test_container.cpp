// SPDX-License-Identifier: MIT
#include "container/test_container.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <utility>

namespace tamrik::test {
namespace {

uint16_t crc16(std::string_view bytes) {
  unsigned crc = 0;
  for (const char c : bytes) {
    crc ^= static_cast<unsigned>(static_cast<unsigned char>(c)) << 8;
    for (int i = 0; i < 8; ++i) crc = (crc & 0x8000) != 0 ? (crc << 1 ^ 0xA097) & 0xFFFF : crc << 1;
  }
  return static_cast<uint16_t>(crc);
}

void putLE16(std::string& out, std::size_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}

// How often the 2-byte word at `at` stands there in a row, at most `most`.
std::size_t repeats(const std::string& data, std::size_t at, std::size_t most) {
  std::size_t n = 1;
  while (n < most && at + 2 * n + 2 <= data.size() &&
         data.compare(at + 2 * n, 2, data, at, 2) == 0) {
    ++n;
  }
  return n;
}

std::string pairs(const std::string& data) {
  std::string out;
  for (std::size_t i = 0; i < data.size();) {
    const std::size_t n = repeats(data, i, 0xFFFF);
    putLE16(out, n);
    out.append(data, i, 2);
    i += 2 * n;
  }
  return out;
}

std::string runs(const std::string& data) {
  std::string out;
  std::string literal;
  const auto flush = [&] {
    for (std::size_t i = 0; i < literal.size(); i += 255) {
      const std::size_t n = std::min<std::size_t>(255, literal.size() - i);
      out += '\0';
      out += static_cast<char>(n);
      out.append(literal, i, n);
    }
    literal.clear();
  };
  for (std::size_t i = 0; i < data.size();) {
    const std::size_t n = repeats(data, i, 255);
    if (n >= 3) {
      flush();
      out += '\1';
      out += static_cast<char>(n);
      out.append(data, i, 2);
      i += 2 * n;
    } else {
      literal.append(data, i, 2);
      i += 2;
    }
  }
  flush();
  return out;
}

std::string dataBlock(const TestSector& sector, unsigned fileEncoding) {
  if (!sector.block.empty()) return sector.block;
  const unsigned encoding = sector.encoding < 0 ? fileEncoding : unsigned(sector.encoding);
  std::string block(1, static_cast<char>(encoding));
  if (encoding == 1) return block + pairs(sector.data);
  if (encoding == 2) return block + runs(sector.data);
  return block + sector.data;
}

// LZHUF as the encoder's side sees it: the same adaptive tree, a code read
// from leaf to root, and a greedy match search over hash chains.
class LzhufPacker {
 public:
  std::string pack(const std::string& input);

 private:
  static constexpr unsigned kRing = 4096;
  static constexpr unsigned kLongest = 60;
  static constexpr unsigned kSymbols = 314;
  static constexpr unsigned kNodes = 2 * kSymbols - 1;
  static constexpr unsigned kRoot = kNodes - 1;
  static constexpr std::size_t kChainWindow = 8192;

  void start();
  void update(unsigned symbol);
  void rebuild();
  void putBits(unsigned value, unsigned count);
  void putSymbol(unsigned symbol);
  void putDistance(unsigned stored);

  unsigned freq_[kNodes + 1] = {};
  unsigned child_[kNodes] = {};
  unsigned parent_[kNodes + kSymbols] = {};
  std::string out_;
  unsigned pending_ = 0;
  unsigned pendingBits_ = 0;
};

void LzhufPacker::start() {
  for (unsigned i = 0; i < kSymbols; ++i) {
    freq_[i] = 1;
    child_[i] = i + kNodes;
    parent_[i + kNodes] = i;
  }
  for (unsigned i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
    freq_[j] = freq_[i] + freq_[i + 1];
    child_[j] = i;
    parent_[i] = parent_[i + 1] = j;
  }
  freq_[kNodes] = 0xFFFF;
  parent_[kRoot] = 0;
}

void LzhufPacker::rebuild() {
  std::vector<std::pair<unsigned, unsigned>> leaves;  // frequency, child
  for (unsigned i = 0; i < kNodes; ++i) {
    if (child_[i] >= kNodes) leaves.emplace_back((freq_[i] + 1) / 2, child_[i]);
  }
  for (unsigned i = 0; i < kSymbols; ++i) std::tie(freq_[i], child_[i]) = leaves[i];
  for (unsigned i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
    const unsigned weight = freq_[i] + freq_[i + 1];
    unsigned at = j;
    while (at > 0 && weight < freq_[at - 1]) {
      freq_[at] = freq_[at - 1];
      child_[at] = child_[at - 1];
      --at;
    }
    freq_[at] = weight;
    child_[at] = i;
  }
  for (unsigned i = 0; i < kNodes; ++i) {
    parent_[child_[i]] = i;
    if (child_[i] < kNodes) parent_[child_[i] + 1] = i;
  }
}

void LzhufPacker::update(unsigned symbol) {
  if (freq_[kRoot] == 0x8000) rebuild();
  // Node 0 is a leaf like any other, so the walk stops only after the root.
  unsigned node = parent_[symbol + kNodes];
  do {
    const unsigned weight = ++freq_[node];
    unsigned swap = node;
    while (weight > freq_[swap + 1]) ++swap;
    if (swap != node) {
      std::swap(freq_[node], freq_[swap]);
      const unsigned a = child_[node];
      const unsigned b = child_[swap];
      child_[node] = b;
      child_[swap] = a;
      parent_[a] = swap;
      if (a < kNodes) parent_[a + 1] = swap;
      parent_[b] = node;
      if (b < kNodes) parent_[b + 1] = node;
      node = swap;
    }
    node = parent_[node];
  } while (node != 0);
}

void LzhufPacker::putBits(unsigned value, unsigned count) {
  for (unsigned i = count; i > 0; --i) {
    pending_ = pending_ << 1 | (value >> (i - 1) & 1U);
    if (++pendingBits_ == 8) {
      out_ += static_cast<char>(pending_);
      pending_ = pendingBits_ = 0;
    }
  }
}

void LzhufPacker::putSymbol(unsigned symbol) {
  std::vector<unsigned> path;  // leaf first
  for (unsigned node = parent_[symbol + kNodes]; node != kRoot; node = parent_[node]) {
    path.push_back(node & 1U);
  }
  for (auto bit = path.rbegin(); bit != path.rend(); ++bit) putBits(*bit, 1);
  update(symbol);
}

void LzhufPacker::putDistance(unsigned stored) {
  // The upper 6 bits in codes of 3 bits (1 value), 4 (3), 5 (8), 6 (12),
  // 7 (24) and 8 bits (16), handed out in order.
  unsigned code = 0;
  unsigned upper = stored >> 6;
  for (const auto& [length, values] :
       {std::pair{3U, 1U}, {4U, 3U}, {5U, 8U}, {6U, 12U}, {7U, 24U}, {8U, 16U}}) {
    if (upper < values) {
      putBits((code >> (8 - length)) + upper, length);
      break;
    }
    upper -= values;
    code += values << (8 - length);
  }
  putBits(stored & 0x3FU, 6);
}

std::string LzhufPacker::pack(const std::string& input) {
  start();
  // What the ring holds before the first byte: blanks, which a match may
  // copy from.
  const std::size_t begin = kRing - kLongest;
  const std::string text = std::string(begin, ' ') + input;
  std::vector<std::size_t> head(1 << 16, SIZE_MAX);
  std::vector<std::size_t> previous(kChainWindow, SIZE_MAX);
  const auto hash = [&](std::size_t at) {
    return (static_cast<unsigned char>(text[at]) << 8 ^
            static_cast<unsigned char>(text[at + 1]) << 4 ^
            static_cast<unsigned char>(text[at + 2])) &
           0xFFFFU;
  };
  const auto insert = [&](std::size_t at) {
    if (at + 3 > text.size()) return;
    previous[at % kChainWindow] = head[hash(at)];
    head[hash(at)] = at;
  };
  for (std::size_t at = 0; at < begin; ++at) insert(at);

  for (std::size_t at = begin; at < text.size();) {
    std::size_t best = 0;
    std::size_t distance = 0;
    if (at + 3 <= text.size()) {
      const std::size_t most = std::min<std::size_t>(kLongest, text.size() - at);
      std::size_t candidate = head[hash(at)];
      for (int steps = 0; steps < 16 && candidate < at && at - candidate <= kRing; ++steps) {
        std::size_t length = 0;
        if (text.compare(candidate, most, text, at, most) == 0) {
          length = most;
        } else {
          while (text[candidate + length] == text[at + length]) ++length;
        }
        if (length > best) {
          best = length;
          distance = at - candidate;
          if (best == most) break;
        }
        const std::size_t next = previous[candidate % kChainWindow];
        if (next >= candidate) break;
        candidate = next;
      }
    }
    if (best >= 3) {
      putSymbol(static_cast<unsigned>(256 + best - 3));
      putDistance(static_cast<unsigned>(distance - 1));
    } else {
      best = 1;
      putSymbol(static_cast<unsigned char>(text[at]));
    }
    // The ends of a long match are enough to find most later ones, and
    // spare long runs of one byte a hash per byte.
    for (std::size_t k = 0; k < best; ++k) {
      if (k < 2 || k + 2 >= best) insert(at + k);
    }
    at += best;
  }
  if (pendingBits_ > 0) putBits(0, 8 - pendingBits_);
  return out_;
}

// Cells in medium order, written as a drive's MFM encoder writes them.
class MfmCells {
 public:
  void put(unsigned byte, std::size_t times = 1) {
    for (; times > 0; --times) {
      for (int bit = 7; bit >= 0; --bit) {
        const bool data = (byte >> bit & 1U) != 0;
        cells_.push_back(!previous_ && !data);
        cells_.push_back(data);
        previous_ = data;
      }
    }
  }
  void put(const std::string& bytes) {
    for (const char c : bytes) put(static_cast<unsigned char>(c));
  }
  // An A1 with its clock cell between the fourth and fifth data bits left out.
  void sync() {
    for (int cell = 15; cell >= 0; --cell) cells_.push_back((0x4489 >> cell & 1) != 0);
    previous_ = true;
  }
  // Cells with no flux, which move what follows off the byte boundary.
  void stray(std::size_t count) { cells_.insert(cells_.end(), count, false); }
  std::size_t bytes() const { return (cells_.size() + 7) / 8; }

  // As an HFE file holds them: the first cell of each byte in bit 0.
  std::string packed() const {
    std::string out(bytes(), '\0');
    for (std::size_t i = 0; i < cells_.size(); ++i) {
      if (cells_[i]) out[i / 8] = static_cast<char>(out[i / 8] | 1 << (i % 8));
    }
    return out;
  }

 private:
  std::vector<bool> cells_;
  bool previous_ = false;
};

// CRC-16/CCITT from 0xFFFF over the three syncs and `field`, mark first.
uint16_t fieldCrc(const std::string& field) {
  unsigned crc = 0xFFFF;
  for (const char c : "\xA1\xA1\xA1" + field) {
    crc ^= static_cast<unsigned>(static_cast<unsigned char>(c)) << 8;
    for (int i = 0; i < 8; ++i) crc = (crc & 0x8000) != 0 ? (crc << 1 ^ 0x1021) & 0xFFFF : crc << 1;
  }
  return static_cast<uint16_t>(crc);
}

void putField(MfmCells& cells, const std::string& field, bool wrongCrc) {
  const unsigned crc = fieldCrc(field) ^ (wrongCrc ? 0x5A5AU : 0U);
  cells.put(0x00, 6);
  for (int i = 0; i < 3; ++i) cells.sync();
  cells.put(field);
  cells.put(crc >> 8);
  cells.put(crc & 0xFF);
  cells.put(0x4E, 10);
}

}  // namespace

std::vector<TestTrack> volumeTracks(const std::string& volume, const Geometry& geometry) {
  std::string padded = volume;
  padded.resize(geometry.volumeBytes(), '\0');
  const unsigned bytes = geometry.sectorBytes();
  std::vector<TestTrack> tracks;
  for (unsigned cylinder = 0; cylinder < geometry.cylinders; ++cylinder) {
    for (unsigned head = 0; head < geometry.heads; ++head) {
      const unsigned number = static_cast<unsigned>(tracks.size());
      TestTrack& track = tracks.emplace_back();
      track.cylinder = cylinder;
      track.head = head;
      for (unsigned k = 0; k < geometry.sectors; ++k) {
        // Backwards, and each track from another sector.
        const unsigned index = (number * 3 + geometry.sectors - 1 - k) % geometry.sectors;
        TestSector& sector = track.sectors.emplace_back();
        sector.cylinder = cylinder;
        sector.head = head;
        sector.id = geometry.firstId + index;
        sector.sizeCode = geometry.sizeCode;
        sector.data =
            padded.substr((std::size_t{number} * geometry.sectors + index) * bytes, bytes);
      }
    }
  }
  return tracks;
}

std::string telediskFile(const std::vector<TestTrack>& tracks, const TelediskOptions& options) {
  std::string body;
  if (!options.comment.empty()) {
    std::string rest;
    putLE16(rest, options.comment.size());
    rest += std::string("\x58\x02\x15\x0A\x1E\x00", 6);  // 1988-03-21 10:30:00
    rest += options.comment;
    putLE16(body, crc16(rest));
    body += rest;
  }
  for (const TestTrack& track : tracks) {
    if (!track.raw.empty()) {
      body += track.raw;
      continue;
    }
    const std::size_t start = body.size();
    body += static_cast<char>(track.sectors.size());
    body += static_cast<char>(track.cylinder);
    body += static_cast<char>(track.head);
    body += static_cast<char>(crc16(std::string_view(body).substr(start)) & 0xFF);
    for (const TestSector& sector : track.sectors) {
      const bool hasData = !sector.data.empty() || !sector.block.empty();
      body += static_cast<char>(sector.cylinder);
      body += static_cast<char>(sector.head);
      body += static_cast<char>(sector.id);
      body += static_cast<char>(sector.sizeCode);
      body += static_cast<char>(sector.flags | (hasData ? 0U : 0x20U));
      body += static_cast<char>(crc16(sector.data) & 0xFF);
      if (!hasData) continue;
      const std::string block = dataBlock(sector, options.encoding);
      putLE16(body, block.size());
      body += block;
    }
  }
  body += std::string("\xFF\0\0\0", 4);

  std::string header = options.advanced ? "td" : "TD";
  header += std::string("\0\0", 2);
  header += static_cast<char>(options.version);
  header += std::string("\x00\x01", 2);  // 250 kbit/s, drive type
  header += static_cast<char>(options.comment.empty() ? 0x00 : 0x80);
  unsigned sides = options.sides;
  for (const TestTrack& track : tracks) {
    if (options.sides == 0 && track.raw.empty()) sides = std::max(sides, track.head + 1);
  }
  header += '\0';  // DOS allocation
  header += static_cast<char>(sides);
  putLE16(header, crc16(header));
  return header + (options.advanced ? lzhufPack(body) : body);
}

std::string imageDiskFile(const std::vector<TestTrack>& tracks, bool maps) {
  std::string out = "IMD 1.18: 21/03/1988 10:30:00\r\nTamrik test disk\r\n\x1A";
  for (const TestTrack& track : tracks) {
    if (!track.raw.empty()) {
      out += track.raw;
      continue;
    }
    bool cylinderMap = maps;
    bool headMap = maps;
    for (const TestSector& sector : track.sectors) {
      cylinderMap = cylinderMap || sector.cylinder != track.cylinder;
      headMap = headMap || sector.head != track.head;
    }
    out += '\5';  // 250 kbit/s MFM
    out += static_cast<char>(track.cylinder);
    out += static_cast<char>(track.head | (cylinderMap ? 0x80U : 0U) | (headMap ? 0x40U : 0U));
    out += static_cast<char>(track.sectors.size());
    out += static_cast<char>(track.sectors.empty() ? 1 : track.sectors[0].sizeCode);
    for (const TestSector& sector : track.sectors) out += static_cast<char>(sector.id);
    if (cylinderMap) {
      for (const TestSector& sector : track.sectors) out += static_cast<char>(sector.cylinder);
    }
    if (headMap) {
      for (const TestSector& sector : track.sectors) out += static_cast<char>(sector.head);
    }
    for (const TestSector& sector : track.sectors) {
      const char error = (sector.flags & 0x02) != 0 ? 4 : 0;
      if (sector.data.empty()) {
        out += '\0';
      } else if (sector.data.find_first_not_of(sector.data[0]) == std::string::npos) {
        out += static_cast<char>(2 + error);
        out += sector.data[0];
      } else {
        out += static_cast<char>(1 + error);
        out += sector.data;
      }
    }
  }
  return out;
}

std::string hfeFile(const std::vector<TestTrack>& tracks, const HfeOptions& options) {
  unsigned cylinders = 0;
  unsigned sides = options.sides;
  for (const TestTrack& track : tracks) {
    if (!track.raw.empty()) continue;
    cylinders = std::max(cylinders, track.cylinder + 1);
    if (options.sides == 0) sides = std::max(sides, track.head + 1);
  }
  std::vector<MfmCells> cells(std::size_t{cylinders} * 2);
  for (MfmCells& side : cells) side.put(0x4E, 16);
  std::size_t sector = 0;
  for (const TestTrack& track : tracks) {
    if (!track.raw.empty() || track.head > 1) continue;
    MfmCells& side = cells[std::size_t{track.cylinder} * 2 + track.head];
    for (const TestSector& s : track.sectors) {
      side.stray(1 + sector++ * 3 % 7);
      if ((s.flags & 0x40) == 0) {
        std::string id = "\xFE";
        for (const unsigned byte : {s.cylinder, s.head, s.id, s.sizeCode}) {
          id += static_cast<char>(byte);
        }
        putField(side, id, (s.flags & 0x80) != 0);
      }
      if (!s.data.empty()) putField(side, "\xFB" + s.data, (s.flags & 0x02) != 0);
    }
  }

  std::string header(512, '\xFF');
  header.replace(0, 8, options.signature);
  header.replace(8, 10, std::string("\0\0\0\0\xFA\0\x2C\1\7\1", 10));  // 250 kbit/s, 300 rpm
  header[9] = static_cast<char>(cylinders);
  header[10] = static_cast<char>(sides);
  header[11] = static_cast<char>(options.encoding);
  header.replace(18, 2, std::string("\1\0", 2));  // the track list in block 1
  std::string list(std::max<std::size_t>(512, (cylinders * 4 + 511) / 512 * 512), '\xFF');
  std::string body;
  const std::size_t firstBlock = 1 + list.size() / 512;
  for (unsigned cylinder = 0; cylinder < cylinders; ++cylinder) {
    std::string halves[2];
    std::size_t length = 0;
    for (unsigned head = 0; head < 2; ++head) {
      MfmCells& side = cells[std::size_t{cylinder} * 2 + head];
      while (side.bytes() < options.sideBytes) side.put(0x4E);
      halves[head] = side.packed();
      length = std::max(length, (halves[head].size() + 255) / 256 * 256);
    }
    list.replace(cylinder * 4, 4, std::string(4, '\0'));
    list[cylinder * 4] = static_cast<char>((firstBlock + body.size() / 512) & 0xFF);
    list[cylinder * 4 + 1] = static_cast<char>((firstBlock + body.size() / 512) >> 8);
    list[cylinder * 4 + 2] = static_cast<char>((2 * length) & 0xFF);
    list[cylinder * 4 + 3] = static_cast<char>((2 * length) >> 8);
    for (std::string& half : halves) half.resize(length, '\x55');
    for (std::size_t at = 0; at < length; at += 256) {
      body += halves[0].substr(at, 256);
      body += halves[1].substr(at, 256);
    }
  }
  return header + list + body;
}

std::string hfeBomb(unsigned cylinders) {
  std::string halves[2];
  for (unsigned head = 0; head < 2; ++head) {
    MfmCells side;
    while (side.bytes() + 28 <= 32768) {
      for (int i = 0; i < 3; ++i) side.sync();
      const std::string id = std::string("\xFE\0", 2) + static_cast<char>(head) + "\1\6";
      side.put(id);
      const unsigned crc = fieldCrc(id);
      side.put(crc >> 8);
      side.put(crc & 0xFF);
      for (int i = 0; i < 3; ++i) side.sync();
      side.put(0xFB);
    }
    halves[head] = side.packed();
    halves[head].resize(32768, '\x55');
  }
  std::string header(512, '\xFF');
  header.replace(0, 8, "HXCPICFE");
  header.replace(8, 10, std::string("\0\0\2\0\xFA\0\x2C\1\7\1", 10));
  header[9] = static_cast<char>(cylinders);
  header.replace(18, 2, std::string("\1\0", 2));
  std::string list(1024, '\xFF');
  for (unsigned cylinder = 0; cylinder < cylinders; ++cylinder) {
    list.replace(cylinder * 4, 4, std::string("\3\0\xFE\xFF", 4));  // block 3
  }
  std::string body;
  for (std::size_t at = 0; at < 32768; at += 256) {
    body += halves[0].substr(at, 256) + halves[1].substr(at, 256);
  }
  return header + list + body;
}

std::string telediskBomb(unsigned cylinders) {
  std::vector<TestTrack> tracks(cylinders);
  for (unsigned cylinder = 0; cylinder < cylinders; ++cylinder) {
    tracks[cylinder].cylinder = cylinder / 2;
    tracks[cylinder].head = cylinder % 2;
    for (unsigned i = 0; i < 254; ++i) {
      TestSector& sector = tracks[cylinder].sectors.emplace_back();
      sector.head = cylinder % 2;
      sector.id = 1;
      sector.sizeCode = 6;
      sector.block = std::string("\1\0\x10xx", 5);
    }
  }
  return telediskFile(tracks, {});
}

std::string lzhufPack(const std::string& bytes) {
  return LzhufPacker().pack(bytes);
}

}  // namespace tamrik::test
