// SPDX-License-Identifier: MIT
#include "listing/line_writer.h"

#include <algorithm>
#include <cstring>

namespace tamrik {
namespace {

void toStream(void* context, const char* data, std::size_t size) {
  static_cast<std::ostream*>(context)->write(data, static_cast<std::streamsize>(size));
}

}  // namespace

LineWriter::LineWriter(std::ostream& out, bool mask) : LineWriter(toStream, &out, mask) {}

void LineWriter::line(std::string_view text) const {
  if (text.size() <= LineBuffer::kCapacity) {
    // A fixed text needs no blank places around it.
    char buffer[LineBuffer::kCapacity + 1];
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\n';
    sink(context, buffer, text.size() + 1);
    return;
  }
  std::string whole(text);
  whole += '\n';
  sink(context, whole.data(), whole.size());
}

void LineWriter::line(LineBuffer& buffer) const {
  buffer.data_[buffer.size_] = '\n';
  sink(context, buffer.data_, buffer.size_ + 1);
  buffer.clear();
}

void LineWriter::appendShown(std::string& line, std::string_view stored) const {
  const std::size_t at = line.size();
  line += stored;
  if (maskControls) {
    std::transform(line.begin() + static_cast<std::ptrdiff_t>(at), line.end(),
                   line.begin() + static_cast<std::ptrdiff_t>(at), shownByte);
  }
}

}  // namespace tamrik
