// SPDX-License-Identifier: MIT
// What the page's worker calls: list the handed file under its name as
// `tamrik -n NAME` prints it. The output stays bytes, as names and labels
// hold any byte; the page decides how to show them.
#include <emscripten.h>

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "container/open_volume.h"
#include "io/image_file.h"
#include "listing/line_writer.h"
#include "listing/list_volume.h"

namespace {

std::string name;                // the file's name as UTF-8, written by the worker
std::string output;              // the last listing, read by the worker
std::vector<uint32_t> lineEnds;  // where each of its lines ends, newline included

// Keeps the lines' ends as well, so that the page can tell a newline byte
// inside a name or label from the end of a line.
void collect(void* /*context*/, const char* data, std::size_t size) {
  output.append(data, size);
  lineEnds.push_back(static_cast<uint32_t>(output.size()));
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE char* tamrikNameBuffer(std::size_t size) {
  name.assign(size, '\0');
  return name.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tamrikList(int sortByName, int alwaysBytes) {
  output.clear();
  lineEnds.clear();
  // Every byte as stored: the page masks control bytes when it shows them.
  const tamrik::LineWriter writer(collect, nullptr, false);
  try {
    tamrik::printHeading("", name, writer);
    // A file that cannot be read gets its heading alone, as on the command
    // line; the worker says why.
    if (const std::unique_ptr<std::streambuf> file =
            tamrik::container::openVolume(tamrik::io::openImageFile(name))) {
      std::istream image(file.get());
      tamrik::listVolume(image, sortByName != 0, alwaysBytes != 0, writer);
    }
  } catch (const std::bad_alloc&) {
    writer.line("Out of memory");
  }
  return output.size();
}

EMSCRIPTEN_KEEPALIVE const char* tamrikOutput() {
  return output.data();
}

EMSCRIPTEN_KEEPALIVE const uint32_t* tamrikLineEnds() {
  return lineEnds.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tamrikLineCount() {
  return lineEnds.size();
}

}  // extern "C"
