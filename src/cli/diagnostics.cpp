// SPDX-License-Identifier: MIT
#include "cli/diagnostics.h"

#include <algorithm>
#include <string>

namespace tamrik {

void Diagnostics::note(std::initializer_list<std::string_view> names,
                       std::string_view words) const {
  std::string line = "tamrik: ";
  for (const std::string_view name : names) {
    line += name;
    line += ": ";
  }
  line += words;
  std::transform(line.begin(), line.end(), line.begin(), shownByte);
  writer_.line(line);
}

void Diagnostics::failure(std::initializer_list<std::string_view> names, std::string_view words) {
  note(names, words);
  failed_ = true;
}

}  // namespace tamrik
