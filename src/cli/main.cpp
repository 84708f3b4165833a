// SPDX-License-Identifier: MIT
#include <iostream>
#include <new>

#include "cli/platform.h"
#include "cli/tamrik.h"

int main(int argc, char** argv) {
  // Nothing here writes through C stdio, so std::cout can keep its own
  // buffer; each line still goes out with one write at its flush.
  std::ios::sync_with_stdio(false);
  const tamrik::LineWriter writer{std::cout, tamrik::platform::stdoutIsTerminal()};
  try {
    return tamrik::runTamrik(argc, argv, writer);
  } catch (const std::bad_alloc&) {
    writer.line("Out of memory");
    return tamrik::kExitOutOfMemory;
  }
}
