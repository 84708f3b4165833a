// SPDX-License-Identifier: MIT
#include <cstddef>
#include <new>
#include <string>

#include "cli/held_output.h"
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
  static tamrik::HeldOutput held(tamrik::platform::writeStdout);
  const tamrik::LineWriter writer(tamrik::HeldOutput::sink, &held,
                                  tamrik::platform::stdoutIsTerminal(),
                                  tamrik::HeldOutput::flushSink);
  const tamrik::LineWriter notes(
      [](void*, const char* data, std::size_t size) {
        tamrik::platform::writeStderr(std::string(data, size));
      },
      nullptr, true);
  // A listing that did not reach its file must not pass for one that did.
  try {
    const int status = listOrReport(argc, argv, writer, notes);
    held.flush();
    return status;
  } catch (const tamrik::platform::OutputFailure& failure) {
    if (!failure.readerGone) {
      tamrik::platform::writeStderr("tamrik: cannot write the listing: " + failure.reason + "\n");
    }
    return tamrik::kExitOutputFailed;
  }
}
