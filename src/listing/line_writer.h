// SPDX-License-Identifier: MIT
// Line output for the listing. A line is built in one buffer and handed on
// whole, newline included, so that the program can write it with one system
// call: a listing interrupted half way shows every line it finished.
#ifndef TAMRIK_LISTING_LINE_WRITER_H_
#define TAMRIK_LISTING_LINE_WRITER_H_

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

#include "lif/inline_text.h"

namespace tamrik {

// Writers of fields at a given place among blank places, each returning
// the end of what it wrote.

// A literal's characters, without its terminating NUL.
template <std::size_t N>
char* putLiteral(char* at, const char (&literal)[N]) {
  std::memcpy(at, literal, N - 1);
  return at + N - 1;
}

// A text held in a record, copied whole at its capacity, which the compiler
// turns into a few moves; blanks copied the same way then cover what lay
// past its end. Needs 2 * N places.
template <std::size_t N>
char* putText(char* at, const InlineText<N>& text) {
  std::memcpy(at, text.data(), N);
  std::memset(at + text.size(), ' ', N);
  return at + text.size();
}

inline constexpr uint32_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                            100000, 1000000, 10000000, 100000000, 1000000000};

// How many digits the value has: with 1233 / 4096 for log10(2) the estimate
// from the bit count is the count or one less. Or-ing in 1 gives 0 its digit
// and moves no other value onto a power of ten.
inline std::size_t decimalDigits(uint32_t value) {
  const uint32_t estimate = (static_cast<uint32_t>(std::bit_width(value | 1U)) * 1233U) >> 12;
  return estimate + ((value | 1U) >= kPowersOfTen[estimate] ? 1U : 0U);
}

// Unsigned decimal right-justified in the width, or wider when it has more
// digits, written from its end two digits at a time.
inline char* putDecimal(char* at, uint32_t value, std::size_t width) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  // Most values fit their column, which one comparison tells.
  const bool fits = width > 0 && width < 10 && value < kPowersOfTen[width];
  char* const end = at + (fits ? width : std::max(width, decimalDigits(value)));
  char* digit = end;
  for (; value >= 100; value /= 100) {
    digit -= 2;
    std::memcpy(digit, kPairs + std::size_t{value % 100} * 2, 2);
  }
  if (value >= 10) {
    std::memcpy(digit - 2, kPairs + std::size_t{value} * 2, 2);
  } else {
    digit[-1] = static_cast<char>('0' + value);
  }
  return end;
}

// A line being built. The summary and the table have fields of bounded
// width (numbers of at most 10 digits, names of 10 bytes, type names of at
// most 6), so their widest line, under 100 characters, always fits; a
// longer text would be cut at the capacity rather than overrun it.
//
// Every place past the text is kept blank, so padding a field only moves
// the end of the text; the writer blanks what a line used once it is out.
class LineBuffer {
 public:
  static constexpr std::size_t kCapacity = 160;

  LineBuffer() { std::memset(data_, ' ', sizeof data_); }

  void append(std::string_view text) {
    // The test is written so that a text of known length is copied with a
    // few moves rather than a call.
    if (text.size() <= kCapacity - size_) {
      std::memcpy(data_ + size_, text.data(), text.size());
      size_ += text.size();
      return;
    }
    std::memcpy(data_ + size_, text.data(), kCapacity - size_);
    size_ = kCapacity;
  }
  // A literal: its length is known here, so the copy is a few moves.
  template <std::size_t N>
  void append(const char (&literal)[N]) {
    append(std::string_view(literal, N - 1));
  }
  void append(char c) {
    if (size_ < kCapacity) data_[size_++] = c;
  }
  // Blanks up to the given length; a width is a minimum and never cuts.
  void padTo(std::size_t length) { size_ = std::max(size_, std::min(length, kCapacity)); }
  void appendDecimal(uint32_t value, std::size_t width = 0) {
    if (std::max(width, decimalDigits(value)) > kCapacity - size_) return;
    size_ = static_cast<std::size_t>(putDecimal(data_ + size_, value, width) - data_);
  }
  // Hands the next `width` places, all blank, to `write`, which fills a run
  // of fields through a pointer of its own (kept in a register, where
  // appending field by field would reload the line's length after every
  // store) and returns where its text ends. Nothing is written when the
  // places are not there.
  template <typename Write>
  void appendInPlace(std::size_t width, Write&& write) {
    if (width > kCapacity - size_) return;
    size_ = static_cast<std::size_t>(write(data_ + size_) - data_);
  }

  // Blanks the line for the next one: the whole buffer, a size known
  // here, takes a few stores where the length used would take a call.
  void clear() {
    std::memset(data_, ' ', sizeof data_);
    size_ = 0;
  }

  std::size_t size() const { return size_; }
  std::string_view text() const { return {data_, size_}; }

 private:
  friend struct LineWriter;
  char data_[kCapacity + 1];  // the newline has its own place
  std::size_t size_ = 0;
};

// What a terminal is given for a byte of a name or label.
inline char shownByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F ? '?' : c;
}

// Receives each finished line, newline included, in one call.
using LineSink = void (*)(void* context, const char* data, std::size_t size);

// Makes a sink write out the lines it holds back, if it holds any.
using SinkFlush = void (*)(void* context);

struct LineWriter {
  LineSink sink;
  void* context;
  // Set when the output is a terminal: control bytes in names and labels
  // taken from an image are shown as '?' so that an image cannot drive the
  // terminal. Files and pipes get every byte as stored.
  bool maskControls = false;
  SinkFlush flushSink = nullptr;

  LineWriter(LineSink lineSink, void* sinkContext, bool mask, SinkFlush flushLines = nullptr)
      : sink(lineSink), context(sinkContext), maskControls(mask), flushSink(flushLines) {}
  // Lines appended to a stream, for tests and for listings made in memory.
  explicit LineWriter(std::ostream& out, bool mask = false);

  // The lines so far go out now, where the sink holds lines back.
  void flush() const {
    if (flushSink != nullptr) flushSink(context);
  }

  void line(std::string_view text) const;
  // Ends the line in its own buffer and hands it on; the buffer is then
  // empty for the next line.
  void line(LineBuffer& buffer) const;

  // A text taken from an image, made fit for the output.
  void appendShown(std::string& line, std::string_view stored) const;
  template <std::size_t N>
  char* putShown(char* at, const InlineText<N>& stored) const {
    char* const end = putText(at, stored);
    if (maskControls) {
      for (char* c = at; c != end; ++c) *c = shownByte(*c);
    }
    return end;
  }
  void appendShown(LineBuffer& line, std::string_view stored) const {
    const std::size_t at = line.size_;
    line.append(stored);
    if (maskControls) {
      for (char* c = line.data_ + at; c != line.data_ + line.size_; ++c) *c = shownByte(*c);
    }
  }
};

}  // namespace tamrik

#endif  // TAMRIK_LISTING_LINE_WRITER_H_
