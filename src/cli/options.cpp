// SPDX-License-Identifier: MIT
#include "cli/options.h"

namespace tamrik {

std::optional<Options> parseOptions(int argc, const char* const* argv) {
  Options options;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    for (const char* letter = argv[i] + 1; *letter != '\0'; ++letter) {
      switch (*letter) {
        case 'f':
          options.fullPathHeading = true;
          options.nameHeading = true;
          break;
        case 'n':
          options.nameHeading = true;
          break;
        case 's':
          options.sortByName = true;
          break;
        case 'b':
          options.alwaysBytes = true;
          break;
        default:
          return std::nullopt;
      }
    }
  }
  if (i >= argc) return std::nullopt;
  options.fileArgument = argv[i];
  return options;
}

}  // namespace tamrik
