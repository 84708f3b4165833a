// SPDX-License-Identifier: MIT
#ifndef TAMRIK_CLI_HELD_OUTPUT_H_
#define TAMRIK_CLI_HELD_OUTPUT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tamrik {

// Standard output that holds back the lines of one image and then writes
// them one right after another, each by a call of its own. Written as they
// were made, the lines waited on the work of making each, and a reader on
// a pipe woke again and again for one image; written together, an image's
// lines reach it as a bare lister's do. What is held stays under a bound,
// so a large directory goes out in parts.
class HeldOutput {
 public:
  using Write = void (*)(const char* data, std::size_t size);

  // Large: made once, in static storage, so that holding a line never
  // needs memory.
  explicit HeldOutput(Write write) : write_(write) {}
  HeldOutput(const HeldOutput&) = delete;
  HeldOutput& operator=(const HeldOutput&) = delete;

  // One finished line, newline included.
  // Defined here: it runs for every line, and a call of its own cost as
  // much as the copy.
  void take(const char* data, std::size_t size) {
    if (size > kHeldBytes - held_ || lines_ == kHeldLines) {
      takeAfterFlush(data, size);
      return;
    }
    std::memcpy(text_.data() + held_, data, size);
    held_ += size;
    ends_[lines_++] = static_cast<uint32_t>(held_);
  }
  // Writes what is held; a write that throws leaves nothing held.
  void flush();

  // For a LineWriter whose context is a HeldOutput.
  static void sink(void* self, const char* data, std::size_t size);
  static void flushSink(void* self);

 private:
  void takeAfterFlush(const char* data, std::size_t size);
  // A floppy's listing is about 3 KB in 40 lines; a large directory goes
  // out every 64 KiB.
  static constexpr std::size_t kHeldBytes = std::size_t{64} * 1024;
  static constexpr std::size_t kHeldLines = 1024;

  Write write_;
  std::size_t held_ = 0;   // bytes of text_ in use
  std::size_t lines_ = 0;  // entries of ends_ in use
  std::array<char, kHeldBytes> text_;
  std::array<uint32_t, kHeldLines> ends_;  // where each held line ends in text_
};

}  // namespace tamrik

#endif  // TAMRIK_CLI_HELD_OUTPUT_H_
