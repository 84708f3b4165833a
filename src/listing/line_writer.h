// SPDX-License-Identifier: MIT
// Line output for the listing. A line is built in one buffer and handed on
// whole, newline included, so that the program can write it with one system
// call: a listing interrupted half way shows every line it finished.
#ifndef TAMRIK_LISTING_LINE_WRITER_H_
#define TAMRIK_LISTING_LINE_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

namespace tamrik {

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
    const std::size_t n = text.size() < kCapacity - size_ ? text.size() : kCapacity - size_;
    std::memcpy(data_ + size_, text.data(), n);
    size_ += n;
  }
  void append(char c) {
    if (size_ < kCapacity) data_[size_++] = c;
  }
  // Blanks up to the given length; a width is a minimum and never cuts.
  void padTo(std::size_t length) {
    if (size_ < length) size_ = length < kCapacity ? length : kCapacity;
  }
  void appendLeft(std::string_view text, std::size_t width) {
    const std::size_t end = size_ + width;
    append(text);
    padTo(end);
  }
  void appendRight(std::string_view text, std::size_t width) {
    if (text.size() < width) padTo(size_ + width - text.size());
    append(text);
  }
  // Unsigned decimal, right-justified in the width.
  void appendDecimal(uint32_t value, std::size_t width = 0) {
    char digits[10];
    std::size_t count = 0;
    do {
      digits[sizeof digits - ++count] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    appendRight(std::string_view(digits + sizeof digits - count, count), width);
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

struct LineWriter {
  LineSink sink;
  void* context;
  // Set when the output is a terminal: control bytes in names and labels
  // taken from an image are shown as '?' so that an image cannot drive the
  // terminal. Files and pipes get every byte as stored.
  bool maskControls = false;

  LineWriter(LineSink lineSink, void* sinkContext, bool mask)
      : sink(lineSink), context(sinkContext), maskControls(mask) {}
  // Lines appended to a stream, for tests and for listings made in memory.
  explicit LineWriter(std::ostream& out, bool mask = false);

  void line(std::string_view text) const;
  // Ends the line in its own buffer and hands it on; the buffer is then
  // empty for the next line.
  void line(LineBuffer& buffer) const;

  // A text taken from an image, made fit for the output.
  void appendShown(std::string& line, std::string_view stored) const;
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
