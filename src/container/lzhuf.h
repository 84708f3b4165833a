// SPDX-License-Identifier: MIT
// The compression of Teledisk's advanced form: LZSS with adaptive Huffman
// coding, as in the 1988 LZHUF program of Yoshizaki and Okumura.
//
// The stream is one run of bits, most significant bit of each byte first.
// It holds symbols; each is coded by a Huffman tree over 314 symbols that
// both ends rebuild after every symbol (frequencies counted from 1, the tree
// kept sorted by frequency, all counts halved when the root reaches 0x8000):
//
//   symbol 0..255    the byte itself
//   symbol 256..313  copy 3..60 bytes from a distance back, which follows:
//                    its upper 6 bits in a fixed code of 3 to 8 bits
//                    (position_code), then its lower 6 bits as they are
//
// Bytes go through a 4,096-byte ring filled with blanks at the start, the
// first byte written at 4,036; the distance counts back from the byte about
// to be written, less one, so a copy may read blanks never written. Nothing
// says where the stream ends: the bits run out, padded to a whole byte.
#ifndef TAMRIK_CONTAINER_LZHUF_H_
#define TAMRIK_CONTAINER_LZHUF_H_

#include <cstddef>
#include <cstdint>
#include <streambuf>

namespace tamrik::container {

// The unpacked bytes of a stream read from `packed`, from where it stands,
// in order; no seeking. Ends where the bits run out or after `limit` bytes,
// whichever comes first.
class LzhufStreamBuf : public std::streambuf {
 public:
  LzhufStreamBuf(std::streambuf& packed, std::size_t limit);
  LzhufStreamBuf(const LzhufStreamBuf&) = delete;
  LzhufStreamBuf& operator=(const LzhufStreamBuf&) = delete;
  ~LzhufStreamBuf() override = default;

  // Whether the stream was cut at `limit` rather than at its end.
  bool limitReached() const { return left_ == 0; }

 protected:
  int_type underflow() override;

 private:
  static constexpr unsigned kRing = 4096;
  static constexpr unsigned kLongest = 60;
  static constexpr unsigned kShortest = 3;
  static constexpr unsigned kSymbols = 256 + kLongest - kShortest + 1;  // 314
  static constexpr unsigned kNodes = 2 * kSymbols - 1;
  static constexpr unsigned kRoot = kNodes - 1;
  static constexpr unsigned kMaxFrequency = 0x8000;
  // Unpacked at a time: little beyond what the reader asks for is decoded.
  static constexpr unsigned kChunk = 256;
  static constexpr unsigned kKeptEnds = 1024;

  void refill();
  unsigned bit();
  unsigned byte();
  unsigned decodeSymbol();
  unsigned decodeDistance();
  void count(unsigned symbol);
  void halve();

  std::streambuf& packed_;
  std::size_t left_;
  uint64_t bits_ = 0;
  unsigned bitCount_ = 0;
  unsigned padding_ = 0;  // zero bits taken in beyond the end
  bool ended_ = false;
  // Node i's frequency, its first child (or kNodes + symbol at a leaf),
  // and each node's and leaf's parent; freq_[kNodes] stops searches.
  uint16_t freq_[kNodes + 1];
  uint16_t child_[kNodes];
  uint16_t parent_[kNodes + kSymbols];
  // Where the nodes of each small frequency were last seen to end.
  uint16_t ends_[kKeptEnds] = {};
  unsigned char ring_[kRing];
  unsigned ringAt_ = kRing - kLongest;
  // One chunk, and room for the copy that crosses its end.
  char out_[kChunk + kLongest];
};

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_LZHUF_H_
