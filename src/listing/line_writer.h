// SPDX-License-Identifier: MIT
// Line output for the listing. Each line goes out with its newline and a
// flush, so a listing interrupted half way shows every line it finished.
#ifndef TAMRIK_LISTING_LINE_WRITER_H_
#define TAMRIK_LISTING_LINE_WRITER_H_

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace tamrik {

struct LineWriter {
  std::ostream& out;
  // Set when the output is a terminal: control bytes in names and labels
  // taken from an image are shown as '?' so that an image cannot drive the
  // terminal. Files and pipes get every byte as stored.
  bool maskControls = false;

  void line(std::string_view text) const;

  // A text taken from an image, made fit for the output.
  std::string shown(std::string_view stored) const;
  // The same, appended to a line being built.
  void appendShown(std::string& line, std::string_view stored) const;
};

// Field padding with blanks; a width is a minimum and never cuts.
void appendLeft(std::string& line, std::string_view text, std::size_t width);
void appendRight(std::string& line, std::string_view text, std::size_t width);

}  // namespace tamrik

#endif  // TAMRIK_LISTING_LINE_WRITER_H_
