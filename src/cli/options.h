// SPDX-License-Identifier: MIT
#ifndef TAMRIK_CLI_OPTIONS_H_
#define TAMRIK_CLI_OPTIONS_H_

#include <optional>
#include <string>

#include "cli/version.h"

namespace tamrik {

struct Options {
  bool nameHeading = false;
  bool fullPathHeading = false;
  bool sortByName = false;
  bool alwaysBytes = false;
  std::string fileArgument;
};

// Option letters f, n, s, b in arguments that start with '-', then one file
// argument; later arguments are ignored. Nothing when the usage text is due:
// an unknown letter, or no file argument.
std::optional<Options> parseOptions(int argc, const char* const* argv);

inline constexpr const char* kUsageLines[] = {
    TAMRIK_BANNER,
    "",
    "Usage:",
    "\t tamrik.exe [-f -n -s -b] filename",
};

}  // namespace tamrik

#endif  // TAMRIK_CLI_OPTIONS_H_
