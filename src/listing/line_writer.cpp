#include "listing/line_writer.h"

namespace tamrik {

void LineWriter::line(std::string_view text) const {
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.put('\n');
  out.flush();
}

std::string LineWriter::shown(std::string_view stored) const {
  std::string text(stored);
  if (maskControls) {
    for (char& c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte == 0x7F) c = '?';
    }
  }
  return text;
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
