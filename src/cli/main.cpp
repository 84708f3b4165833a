// SPDX-License-Identifier: MIT
#include <cstddef>
#include <new>
#include <string>

#include "cli/platform.h"
#include "cli/tamrik.h"

namespace {

int listOrReport(int argc, char** argv, const tamrik::LineWriter& writer,
                 const tamrik::LineWriter& notes) {
  try {
    return tamrik::runTamrik(argc, argv, writer, notes);
  } catch (const std::bad_alloc&) {
    writer.line("Out of memory");
    return tamrik::kExitOutOfMemory;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const tamrik::platform::ConsoleOutput console;
  const tamrik::LineWriter writer(
      [](void*, const char* data, std::size_t size) { tamrik::platform::writeStdout(data, size); },
      nullptr, tamrik::platform::stdoutIsTerminal());
  const tamrik::LineWriter notes(
      [](void*, const char* data, std::size_t size) {
        tamrik::platform::writeStderr(std::string(data, size));
      },
      nullptr, tamrik::platform::stderrIsTerminal());
  // A listing that did not reach its file must not pass for one that did.
  try {
    return listOrReport(argc, argv, writer, notes);
  } catch (const tamrik::platform::OutputFailure& failure) {
    if (!failure.readerGone) {
      tamrik::platform::writeStderr("tamrik: cannot write the listing: " + failure.reason + "\n");
    }
    return tamrik::kExitOutputFailed;
  }
}
