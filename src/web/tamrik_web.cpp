// SPDX-License-Identifier: MIT
// What the page's worker calls: list the handed file under its name as
// `tamrik -n NAME` prints it. The output stays bytes, as names and labels
// hold any byte; the page decides how to show them.
#include <emscripten.h>

#include <cstddef>
#include <new>
#include <sstream>
#include <string>

#include "cli/list_image.h"
#include "listing/line_writer.h"

namespace {

std::string name;    // the file's name as UTF-8, written by the worker
std::string output;  // the last listing, read by the worker

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE char* tamrikNameBuffer(std::size_t size) {
  name.assign(size, '\0');
  return name.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tamrikList(int sortByName, int alwaysBytes) {
  std::ostringstream out;
  // Every byte as stored: the page masks control bytes when it shows them.
  const tamrik::LineWriter writer{out, false};
  try {
    tamrik::printHeading("", name, writer);
    tamrik::listImage(name, sortByName != 0, alwaysBytes != 0, writer);
  } catch (const std::bad_alloc&) {
    writer.line("Out of memory");
  }
  output = std::move(out).str();
  return output.size();
}

EMSCRIPTEN_KEEPALIVE const char* tamrikOutput() {
  return output.data();
}

}  // extern "C"
