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
        case 'x':
          options.extract = true;
          break;
        case 'a':
          options.asText = true;
          break;
        case 'e':
          options.withEntry = true;
          break;
        case 'p':
          options.toStdout = true;
          break;
        default:
          return std::nullopt;
      }
    }
  }
  if (i >= argc) return std::nullopt;
  const bool listing = options.nameHeading || options.sortByName || options.alwaysBytes;
  const bool copying = options.asText || options.withEntry || options.toStdout;
  if (options.extract ? listing : copying) return std::nullopt;
  if (options.asText && options.withEntry) return std::nullopt;
  options.fileArgument = argv[i];
  if (options.extract) options.names.assign(argv + i + 1, argv + argc);
  return options;
}

}  // namespace tamrik
