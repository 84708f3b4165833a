// SPDX-License-Identifier: MIT
#ifndef TAMRIK_CLI_TAMRIK_H_
#define TAMRIK_CLI_TAMRIK_H_

#include "listing/line_writer.h"

namespace tamrik {

inline constexpr int kExitUsage = 1;
inline constexpr int kExitOutOfMemory = 2;
inline constexpr int kExitOutputFailed = 2;

// The whole program over its arguments: lists every match of the file
// argument in its folder and returns the exit status: 3 when a file could
// not be opened or read. `notes` takes the lines said on standard error
// (diagnostics.h).
int runTamrik(int argc, const char* const* argv, const LineWriter& writer, const LineWriter& notes);

}  // namespace tamrik

#endif  // TAMRIK_CLI_TAMRIK_H_
