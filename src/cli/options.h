// SPDX-License-Identifier: MIT
#ifndef TAMRIK_CLI_OPTIONS_H_
#define TAMRIK_CLI_OPTIONS_H_

#include <optional>
#include <string>
#include <vector>

#include "cli/version.h"

namespace tamrik {

struct Options {
  bool nameHeading = false;
  bool fullPathHeading = false;
  bool sortByName = false;
  bool alwaysBytes = false;
  // -x copies files out of one image; -a, -e and -p say how.
  bool extract = false;
  bool asText = false;
  bool withEntry = false;
  bool toStdout = false;
  std::string fileArgument;
  std::vector<std::string> names;  // the files -x copies; none: all
};

// Option letters in arguments that start with '-', then one file argument.
// A listing ignores later arguments; -x takes them as names of files in the
// image. Nothing when the usage text is due: an unknown letter, no file
// argument, a listing letter with x, a, e or p without x, or a with e.
std::optional<Options> parseOptions(int argc, const char* const* argv);

inline constexpr const char* kUsageLines[] = {
    TAMRIK_BANNER,
    "",
    "Usage:",
    "\t tamrik.exe [-f -n -s -b] filename",
    "\t tamrik.exe -x [-a -e -p] image [name ...]",
};

}  // namespace tamrik

#endif  // TAMRIK_CLI_OPTIONS_H_
