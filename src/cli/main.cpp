#include <iostream>
#include <new>

#include "cli/platform.h"
#include "cli/tamrik.h"

int main(int argc, char** argv) {
  const tamrik::LineWriter writer{std::cout, tamrik::platform::stdoutIsTerminal()};
  try {
    return tamrik::runTamrik(argc, argv, writer);
  } catch (const std::bad_alloc&) {
    writer.line("Out of memory");
    return tamrik::kExitOutOfMemory;
  }
}
