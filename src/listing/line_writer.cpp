// SPDX-License-Identifier: MIT
#include "listing/line_writer.h"

namespace tamrik {

void LineWriter::line(std::string_view text) const {
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.put('\n');
  out.flush();
}

std::string LineWriter::shown(std::string_view stored) const {
  std::string text;
  appendShown(text, stored);
  return text;
}

void LineWriter::appendShown(std::string& line, std::string_view stored) const {
  if (!maskControls) {
    line += stored;
    return;
  }
  for (const char c : stored) {
    const auto byte = static_cast<unsigned char>(c);
    line += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
}

void appendLeft(std::string& line, std::string_view text, std::size_t width) {
  line += text;
  if (text.size() < width) line.append(width - text.size(), ' ');
}

void appendRight(std::string& line, std::string_view text, std::size_t width) {
  if (text.size() < width) line.append(width - text.size(), ' ');
  line += text;
}

}  // namespace tamrik
