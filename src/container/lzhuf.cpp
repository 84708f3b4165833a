// SPDX-License-Identifier: MIT
#include "container/lzhuf.h"

#include <algorithm>
#include <cstring>

namespace tamrik::container {
namespace {

// The fixed code of a distance's upper 6 bits, looked up by the next 8 bits
// of the stream: the value and the length of its code. Values 0 to 63 have
// codes of 3 bits (1 value), 4 (3), 5 (8), 6 (12), 7 (24) and 8 bits (16),
// in order, so each value owns 256 >> length consecutive entries.
struct PositionCode {
  uint8_t upper[256];
  uint8_t length[256];
};

constexpr PositionCode makePositionCode() {
  constexpr struct {
    unsigned length;
    unsigned values;
  } kRuns[] = {{3, 1}, {4, 3}, {5, 8}, {6, 12}, {7, 24}, {8, 16}};
  PositionCode code{};
  unsigned entry = 0;
  unsigned upper = 0;
  for (const auto& run : kRuns) {
    for (unsigned v = 0; v < run.values; ++v, ++upper) {
      for (unsigned k = 0; k < (256U >> run.length); ++k, ++entry) {
        code.upper[entry] = static_cast<uint8_t>(upper);
        code.length[entry] = static_cast<uint8_t>(run.length);
      }
    }
  }
  return code;
}

constexpr PositionCode kPositionCode = makePositionCode();
static_assert(kPositionCode.upper[255] == 63 && kPositionCode.length[0x1F] == 3 &&
              kPositionCode.upper[0x20] == 1 && kPositionCode.length[0xEF] == 7);

}  // namespace

LzhufStreamBuf::LzhufStreamBuf(std::streambuf& packed, std::size_t limit)
    : packed_(packed), left_(limit) {
  // Every symbol a leaf of frequency 1, paired off into a balanced tree.
  for (unsigned i = 0; i < kSymbols; ++i) {
    freq_[i] = 1;
    child_[i] = static_cast<uint16_t>(i + kNodes);
    parent_[i + kNodes] = static_cast<uint16_t>(i);
  }
  for (unsigned i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
    freq_[j] = static_cast<uint16_t>(freq_[i] + freq_[i + 1]);
    child_[j] = static_cast<uint16_t>(i);
    parent_[i] = parent_[i + 1] = static_cast<uint16_t>(j);
  }
  freq_[kNodes] = 0xFFFF;
  parent_[kRoot] = 0;
  std::memset(ring_, ' ', sizeof ring_);
}

// Up to 64 bits are held, the next one on top. Beyond the end of the
// stream zero bits are taken in and counted, so that a symbol that needed
// them shows.
void LzhufStreamBuf::refill() {
  while (bitCount_ <= 56) {
    const int_type next = packed_.sbumpc();
    uint64_t byte = 0;
    if (traits_type::eq_int_type(next, traits_type::eof())) {
      padding_ += 8;
    } else {
      byte = static_cast<unsigned char>(traits_type::to_char_type(next));
    }
    bits_ |= byte << (56 - bitCount_);
    bitCount_ += 8;
  }
}

inline unsigned LzhufStreamBuf::bit() {
  if (bitCount_ == 0) refill();
  const auto value = static_cast<unsigned>(bits_ >> 63);
  bits_ <<= 1;
  --bitCount_;
  return value;
}

inline unsigned LzhufStreamBuf::byte() {
  if (bitCount_ < 8) refill();
  const auto value = static_cast<unsigned>(bits_ >> 56);
  bits_ <<= 8;
  bitCount_ -= 8;
  return value;
}

unsigned LzhufStreamBuf::decodeSymbol() {
  // No code is longer than 22 bits: the tree is a Huffman tree of weights
  // that sum to at most 0x8000, and a code of d bits needs a sum of at least
  // the (d + 1)th Fibonacci number. So 32 bits in hand make the walk plain.
  if (bitCount_ < 32) refill();
  uint64_t bits = bits_;
  unsigned used = 0;
  unsigned node = child_[kRoot];
  while (node < kNodes) {
    node = child_[node + static_cast<unsigned>(bits >> 63)];
    bits <<= 1;
    ++used;
  }
  bits_ = bits;
  bitCount_ -= used;
  const unsigned symbol = node - kNodes;
  count(symbol);
  return symbol;
}

unsigned LzhufStreamBuf::decodeDistance() {
  unsigned bits = byte();
  const unsigned upper = kPositionCode.upper[bits];
  // The first 8 bits hold the code, of 3 to 8 bits, and the start of the
  // lower 6; as many more as the code is long, less 2, complete them.
  for (unsigned more = kPositionCode.length[bits] - 2U; more > 0; --more) {
    bits = bits << 1 | bit();
  }
  return upper << 6 | (bits & 0x3FU);
}

// One more of `symbol`: raise the counts from its leaf to the root, moving
// each node that now outweighs its right neighbours past the last of them,
// so the tree stays sorted by frequency. Nodes of one frequency stand
// together, early on hundreds of them: where such a run was last seen to
// end is kept for small frequencies, and checked before it is used.
void LzhufStreamBuf::count(unsigned symbol) {
  if (freq_[kRoot] == kMaxFrequency) halve();
  unsigned node = parent_[symbol + kNodes];
  do {
    const unsigned old = freq_[node];
    const unsigned weight = ++freq_[node];
    if (weight > freq_[node + 1]) {
      unsigned last = old < kKeptEnds ? ends_[old] : 0;
      if (last <= node || freq_[last] != old || freq_[last + 1] == old) {
        last = static_cast<unsigned>(std::upper_bound(freq_ + node + 1, freq_ + kNodes + 1, old) -
                                     freq_ - 1);
      }
      if (old < kKeptEnds) ends_[old] = static_cast<uint16_t>(last - 1);
      freq_[node] = static_cast<uint16_t>(old);
      freq_[last] = static_cast<uint16_t>(weight);

      const unsigned moved = child_[node];
      parent_[moved] = static_cast<uint16_t>(last);
      if (moved < kNodes) parent_[moved + 1] = static_cast<uint16_t>(last);
      const unsigned other = child_[last];
      child_[last] = static_cast<uint16_t>(moved);
      parent_[other] = static_cast<uint16_t>(node);
      if (other < kNodes) parent_[other + 1] = static_cast<uint16_t>(node);
      child_[node] = static_cast<uint16_t>(other);
      node = last;
    }
    node = parent_[node];
  } while (node != 0);
}

// Halves every leaf's count and builds the tree again from the leaves.
void LzhufStreamBuf::halve() {
  unsigned leaves = 0;
  for (unsigned i = 0; i < kNodes; ++i) {
    if (child_[i] >= kNodes) {
      freq_[leaves] = static_cast<uint16_t>((freq_[i] + 1U) / 2U);
      child_[leaves] = child_[i];
      ++leaves;
    }
  }
  for (unsigned i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
    const auto weight = static_cast<uint16_t>(freq_[i] + freq_[i + 1]);
    unsigned at = j;
    while (weight < freq_[at - 1]) --at;
    std::memmove(&freq_[at + 1], &freq_[at], (j - at) * sizeof freq_[0]);
    std::memmove(&child_[at + 1], &child_[at], (j - at) * sizeof child_[0]);
    freq_[at] = weight;
    child_[at] = static_cast<uint16_t>(i);
  }
  for (unsigned i = 0; i < kNodes; ++i) {
    const unsigned first = child_[i];
    parent_[first] = static_cast<uint16_t>(i);
    if (first < kNodes) parent_[first + 1] = static_cast<uint16_t>(i);
  }
}

LzhufStreamBuf::int_type LzhufStreamBuf::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  std::size_t produced = 0;
  while (!ended_ && produced < kChunk) {
    if (left_ == 0) {
      ended_ = true;
      break;
    }
    const unsigned symbol = decodeSymbol();
    const unsigned distance = symbol < 256 ? 0 : decodeDistance();
    // A symbol that took padding bits is not part of the stream.
    if (bitCount_ < padding_) {
      ended_ = true;
      break;
    }
    if (symbol < 256) {
      out_[produced++] = static_cast<char>(symbol);
      ring_[ringAt_] = static_cast<unsigned char>(symbol);
      ringAt_ = (ringAt_ + 1) & (kRing - 1);
      --left_;
      continue;
    }
    std::size_t length = symbol - 256 + kShortest;
    if (length > left_) length = left_;
    left_ -= length;
    // Byte by byte: a copy may overlap the bytes it writes.
    for (unsigned from = ringAt_ - distance - 1; length > 0; --length, ++from) {
      const unsigned char value = ring_[from & (kRing - 1)];
      out_[produced++] = static_cast<char>(value);
      ring_[ringAt_] = value;
      ringAt_ = (ringAt_ + 1) & (kRing - 1);
    }
  }
  if (produced == 0) return traits_type::eof();
  setg(out_, out_, out_ + produced);
  return traits_type::to_int_type(*gptr());
}

}  // namespace tamrik::container
