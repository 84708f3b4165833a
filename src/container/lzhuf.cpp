// SPDX-License-Identifier: MIT
#include "container/lzhuf.h"

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

unsigned LzhufStreamBuf::bit() {
  if (bitCount_ == 0) {
    const int_type next = packed_.sbumpc();
    if (traits_type::eq_int_type(next, traits_type::eof())) {
      pastEnd_ = true;
      bits_ = 0;
    } else {
      bits_ = static_cast<unsigned char>(traits_type::to_char_type(next));
    }
    bitCount_ = 8;
  }
  --bitCount_;
  return (bits_ >> bitCount_) & 1U;
}

unsigned LzhufStreamBuf::byte() {
  unsigned value = 0;
  for (int i = 0; i < 8; ++i) value = value << 1 | bit();
  return value;
}

unsigned LzhufStreamBuf::decodeSymbol() {
  unsigned node = child_[kRoot];
  while (node < kNodes) node = child_[node + bit()];
  const unsigned symbol = node - kNodes;
  count(symbol);
  return symbol;
}

unsigned LzhufStreamBuf::decodeDistance() {
  unsigned bits = byte();
  const unsigned upper = kPositionCode.upper[bits];
  // The code's own bits beyond the first 8 read, then the 6 lower bits;
  // the last 6 bits taken in are the lower bits.
  for (unsigned more = kPositionCode.length[bits] - 2U; more > 0; --more) {
    bits = bits << 1 | bit();
  }
  return upper << 6 | (bits & 0x3FU);
}

// One more of `symbol`: raise the counts from its leaf to the root, moving
// each node that now outweighs its right neighbours past them, so the tree
// stays sorted by frequency.
void LzhufStreamBuf::count(unsigned symbol) {
  if (freq_[kRoot] == kMaxFrequency) halve();
  unsigned node = parent_[symbol + kNodes];
  do {
    const unsigned weight = ++freq_[node];
    if (weight > freq_[node + 1]) {
      unsigned last = node + 1;
      while (weight > freq_[last + 1]) ++last;
      freq_[node] = freq_[last];
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

void LzhufStreamBuf::emit(unsigned char value, std::size_t& produced) {
  out_[produced++] = static_cast<char>(value);
  ring_[ringAt_] = value;
  ringAt_ = (ringAt_ + 1) & (kRing - 1);
  --left_;
}

LzhufStreamBuf::int_type LzhufStreamBuf::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  std::size_t produced = 0;
  while (!ended_ && produced < kRing) {
    if (left_ == 0) {
      ended_ = true;
      break;
    }
    const unsigned symbol = decodeSymbol();
    const unsigned distance = symbol < 256 ? 0 : decodeDistance();
    // A symbol that took padding bits is not part of the stream.
    if (pastEnd_) {
      ended_ = true;
      break;
    }
    if (symbol < 256) {
      emit(static_cast<unsigned char>(symbol), produced);
      continue;
    }
    unsigned from = ringAt_ - distance - 1;
    for (unsigned n = symbol - 256 + kShortest; n > 0 && left_ > 0; --n, ++from) {
      emit(ring_[from & (kRing - 1)], produced);
    }
  }
  if (produced == 0) return traits_type::eof();
  setg(out_, out_, out_ + produced);
  return traits_type::to_int_type(*gptr());
}

}  // namespace tamrik::container
