// SPDX-License-Identifier: MIT
// LIF ASCII text (type 0x0001) as plain text. The file is a run of records:
// a big-endian length, that many bytes of text, and one filler byte after
// an odd length; the length 0xFFFF ends the text. Each record becomes its
// text and one line end, unless its text already ends in LF (text that came
// from a PC keeps its CR LF inside the records).
//
// The converter is fed the file's bytes in pieces of any size, so that a
// file is walked without being held whole: a first pass with no output
// tells whether the records reach their end mark inside the file, and only
// then a second pass writes the text. A file is never half converted.
#ifndef TAMRIK_FILES_LIF_TEXT_H_
#define TAMRIK_FILES_LIF_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tamrik::files {

inline constexpr uint16_t kLifTextType = 0x0001;

// Takes converted text; the pieces together are the whole text.
using TextSink = std::function<void(std::string_view)>;

class LifTextWalk {
 public:
  // With no sink the walk only checks the records.
  explicit LifTextWalk(TextSink sink = nullptr, std::string_view lineEnd = "\n")
      : sink_(std::move(sink)), lineEnd_(lineEnd) {}

  // The next bytes of the file, in order.
  void feed(std::string_view bytes);

  // True once the end mark has been read; bytes after it are ignored.
  bool ended() const { return state_ == State::kEnded; }

 private:
  enum class State : uint8_t { kLengthHigh, kLengthLow, kText, kFiller, kEnded };

  void endRecord();

  TextSink sink_;
  std::string_view lineEnd_;
  State state_ = State::kLengthHigh;
  uint16_t length_ = 0;
  uint32_t left_ = 0;
  char last_ = '\0';
};

// Whether the whole file walks cleanly to its end mark.
bool isLifText(std::string_view file);

// The text of a file for which isLifText holds.
std::string lifTextOf(std::string_view file, std::string_view lineEnd);

}  // namespace tamrik::files

#endif  // TAMRIK_FILES_LIF_TEXT_H_
