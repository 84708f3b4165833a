// SPDX-License-Identifier: MIT
#include "cli/held_output.h"

#include <cstring>

namespace tamrik {
void HeldOutput::take(const char* data, std::size_t size) {
  if (size > kHeldBytes - held_ || lines_ == kHeldLines) {
    flush();
    if (size > kHeldBytes) {
      write_(data, size);
      return;
    }
  }
  std::memcpy(text_.data() + held_, data, size);
  held_ += size;
  ends_[lines_++] = static_cast<uint32_t>(held_);
}

void HeldOutput::flush() {
  const std::size_t lines = lines_;
  held_ = lines_ = 0;
  uint32_t start = 0;
  for (std::size_t i = 0; i < lines; ++i) {
    write_(text_.data() + start, ends_[i] - start);
    start = ends_[i];
  }
}

void HeldOutput::sink(void* self, const char* data, std::size_t size) {
  static_cast<HeldOutput*>(self)->take(data, size);
}

void HeldOutput::flushSink(void* self) {
  static_cast<HeldOutput*>(self)->flush();
}

}  // namespace tamrik
