// SPDX-License-Identifier: MIT
#include "cli/held_output.h"

#include <cstring>

namespace tamrik {
void HeldOutput::takeAfterFlush(const char* data, std::size_t size) {
  flush();
  if (size > kHeldBytes) {
    write_(data, size);
    return;
  }
  take(data, size);
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
