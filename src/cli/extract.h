// SPDX-License-Identifier: MIT
#ifndef TAMRIK_CLI_EXTRACT_H_
#define TAMRIK_CLI_EXTRACT_H_

#include "cli/options.h"
#include "listing/line_writer.h"

namespace tamrik {

inline constexpr int kExitWriteFailed = 2;

// tamrik -x: copies the chosen files of one image into the current folder,
// or to standard output with -p, and says on `notes` each thing that was
// not as asked. Returns the exit status: 0, 2 when a file could not be
// written (the run stops there), 3 when something was said.
int extractFiles(const Options& options, const LineWriter& notes);

}  // namespace tamrik

#endif  // TAMRIK_CLI_EXTRACT_H_
