// SPDX-License-Identifier: MIT
// What the page's worker calls: list the handed file under its name as
// `tamrik -n NAME` prints it, and keep the fields of the same read for the
// page's tables. The output stays bytes, as names and labels hold any byte;
// the page decides how to show them.
#include <emscripten.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "container/open_volume.h"
#include "io/image_file.h"
#include "lif/lif_volume.h"
#include "listing/directory_table.h"
#include "listing/line_writer.h"
#include "listing/list_volume.h"
#include "listing/volume_summary.h"

namespace {

// What became of the last file, the first of the words.
enum State : uint32_t {
  kUnreadable = 0,  // not opened; the worker knows why
  kListed = 1,
  kNotLif = 2,
  kDamaged = 3,  // a LIF header, but the image ends inside it or the directory
  kOutOfMemory = 4,
};

std::string name;                // the file's name as UTF-8, written by the worker
std::string output;              // the last listing, read by the worker
std::vector<uint32_t> lineEnds;  // where each of its lines ends, newline included

// The listed volume's fields, in the order of the listing's rows.
//   words: state, capacity, used entries, total bytes, free bytes (32-bit,
//          signed), row count, then per row: size as shown, size in bytes,
//          start, sectors, flags (bit 0 S, 1 P, 2 A, 3 shown in registers)
//   texts: label (6 bytes as stored), initialisation stamp (17), then per
//          row: name (10), type (6), machine tag (5), stamp (17), blank padded
std::vector<uint32_t> words;
std::string texts;

constexpr std::size_t kSummaryWords = 6;

// Keeps the lines' ends as well, so that the page can tell a newline byte
// inside a name or label from the end of a line.
void collect(void* /*context*/, const char* data, std::size_t size) {
  output.append(data, size);
  lineEnds.push_back(static_cast<uint32_t>(output.size()));
}

void appendText(std::string_view text, std::size_t width) {
  texts.append(text.substr(0, width));
  texts.append(width - std::min(width, text.size()), ' ');
}

void keepFields(const tamrik::LifVolume& volume, bool sortByName, bool alwaysBytes) {
  const std::vector<const tamrik::LifDirEntry*> rows = tamrik::tableRows(volume, sortByName);
  const uint32_t total = tamrik::totalBytes(volume);
  const auto usedEntries = static_cast<uint32_t>(volume.entries.size());
  words = {kListed, tamrik::entryCapacity(volume),          usedEntries,
           total,   total - tamrik::endOfUsedSpace(volume), static_cast<uint32_t>(rows.size())};
  appendText(volume.label, 6);
  appendText(volume.initStamp, 17);

  words.reserve(kSummaryWords + rows.size() * 5);
  texts.reserve(texts.size() + rows.size() * 38);
  for (const tamrik::LifDirEntry* entry : rows) {
    const bool inRegisters = !alwaysBytes && entry->regCount != 0;
    words.push_back(inRegisters ? entry->regCount : entry->sizeBytes);
    words.push_back(entry->sizeBytes);
    words.push_back(entry->startSector);
    words.push_back(entry->sectorCount);
    words.push_back((entry->flagS ? 1U : 0U) | (entry->flagP ? 2U : 0U) | (entry->flagA ? 4U : 0U) |
                    (inRegisters ? 8U : 0U));
    appendText(entry->name, 10);
    appendText(entry->typeName, 6);
    appendText(entry->machineTag, 5);
    appendText(entry->stamp, 17);
  }
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
  words.assign(kSummaryWords, 0);
  texts.clear();
  // Every byte as stored: the page masks control bytes when it shows them.
  const tamrik::LineWriter writer(collect, nullptr, false);
  try {
    tamrik::printHeading("", name, writer);
    // A file that cannot be read gets its heading alone, as on the command
    // line; the worker says why.
    if (const std::unique_ptr<std::streambuf> file =
            tamrik::container::openVolume(tamrik::io::openImageFile(name))) {
      std::istream image(file.get());
      tamrik::LifVolume volume(image);
      if (tamrik::listVolume(volume, sortByName != 0, alwaysBytes != 0, writer)) {
        keepFields(volume, sortByName != 0, alwaysBytes != 0);
      } else {
        words[0] = volume.lifId == tamrik::kLifId ? kDamaged : kNotLif;
      }
    }
  } catch (const std::bad_alloc&) {
    words.assign(kSummaryWords, 0);
    words[0] = kOutOfMemory;
    texts.clear();
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

EMSCRIPTEN_KEEPALIVE const uint32_t* tamrikWords() {
  return words.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tamrikWordCount() {
  return words.size();
}

EMSCRIPTEN_KEEPALIVE const char* tamrikTexts() {
  return texts.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tamrikTextSize() {
  return texts.size();
}

}  // extern "C"
