// SPDX-License-Identifier: MIT
#include <cstddef>
#include <new>

#include "cli/platform.h"
#include "cli/tamrik.h"

int main(int argc, char** argv) {
  const tamrik::LineWriter writer(
      [](void*, const char* data, std::size_t size) { tamrik::platform::writeStdout(data, size); },
      nullptr, tamrik::platform::stdoutIsTerminal());
  try {
    return tamrik::runTamrik(argc, argv, writer);
  } catch (const std::bad_alloc&) {
    writer.line("Out of memory");
    return tamrik::kExitOutOfMemory;
  }
}
