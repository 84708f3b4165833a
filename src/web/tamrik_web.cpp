// SPDX-License-Identifier: MIT
// What the page's worker calls: list the handed file under its name as
// `tamrik -n NAME` prints it, and keep the fields of the same read for the
// page's tables. The output stays bytes, as names and labels hold any byte;
// the page decides how to show them. Where each field lies is told to the
// page by tamrikLayout, from the same tables that place them here.
#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "container/open_volume.h"
#include "io/image_file.h"
#include "lif/lif_volume.h"
#include "lif/volume_faults.h"
#include "listing/directory_table.h"
#include "listing/line_writer.h"
#include "listing/list_volume.h"
#include "listing/volume_summary.h"

namespace {

// What became of the last file, the first of the words.
enum State : uint32_t {
  kUnreadable,  // not opened; the worker knows why
  kListed,
  kNotLif,
  kDamaged,  // a LIF header, but the image ends inside it or the directory; or a
             // container refused for what it lacks
  kOutOfMemory,
  kStates,
};
constexpr std::array<const char*, kStates> kStateNames = {"unreadable", "listed", "not-lif",
                                                          "damaged", "out-of-memory"};

// The words: the summary, then per row of the listing, in its order.
enum SummaryWord : uint32_t { kState, kCapacity, kUsed, kTotal, kFree, kRows, kSummaryWords };
constexpr std::array<const char*, kSummaryWords> kSummaryWordNames = {"state", "capacity", "used",
                                                                      "total", "free",     "rows"};
enum RowWord : uint32_t { kSizeShown, kSizeBytes, kStart, kSectors, kFlags, kRowWords };
constexpr std::array<const char*, kRowWords> kRowWordNames = {"size", "bytes", "start", "sectors",
                                                              "flags"};
// The bits of a row's flags word.
enum Flag : uint32_t { kFlagS = 1, kFlagP = 2, kFlagA = 4, kInRegisters = 8 };

// The texts, blank padded: the summary's, then per row.
struct TextField {
  const char* name;
  std::size_t width;
};
enum SummaryText : uint8_t { kLabel, kInit, kSummaryTexts };
constexpr std::array<TextField, kSummaryTexts> kSummaryText = {{{"label", 6}, {"init", 17}}};
enum RowText : uint8_t { kName, kType, kMachine, kStamp, kRowTexts };
constexpr std::array<TextField, kRowTexts> kRowText = {
    {{"name", 10}, {"type", 6}, {"machine", 5}, {"stamp", 17}}};

std::string name;                // the file's name as UTF-8, written by the worker
std::string output;              // the last listing, read by the worker
std::vector<uint32_t> lineEnds;  // where each of its lines ends, newline included
std::vector<uint32_t> words;     // the listed volume's fields, as above
std::string texts;
// What the listing lacked, in the words the command line prints after
// "tamrik: NAME: "; empty for a sound image.
std::string note;
// What a listed volume's own directory shows to be impossible; empty when
// nothing is.
std::string faults;
std::string layout;  // tamrikLayout's text, made once

// Keeps the lines' ends as well, so that the page can tell a newline byte
// inside a name or label from the end of a line.
void collect(void* /*context*/, const char* data, std::size_t size) {
  output.append(data, size);
  lineEnds.push_back(static_cast<uint32_t>(output.size()));
}

void appendText(std::string_view text, const TextField& field) {
  texts.append(text.substr(0, field.width));
  texts.append(field.width - std::min(field.width, text.size()), ' ');
}

template <std::size_t N>
std::size_t widthOf(const std::array<TextField, N>& fields) {
  std::size_t width = 0;
  for (const TextField& field : fields) width += field.width;
  return width;
}

void keepFields(const tamrik::LifVolume& volume, bool sortByName, bool alwaysBytes) {
  const std::vector<const tamrik::LifDirEntry*> rows = tamrik::tableRows(volume, sortByName);
  const uint32_t total = tamrik::totalBytes(volume);
  words[kState] = kListed;
  words[kCapacity] = tamrik::entryCapacity(volume);
  words[kUsed] = static_cast<uint32_t>(volume.entries.size());
  words[kTotal] = total;
  words[kFree] = total - tamrik::endOfUsedSpace(volume);
  words[kRows] = static_cast<uint32_t>(rows.size());
  appendText(volume.label, kSummaryText[kLabel]);
  appendText(volume.initStamp, kSummaryText[kInit]);

  words.resize(kSummaryWords + rows.size() * kRowWords);
  texts.reserve(texts.size() + rows.size() * widthOf(kRowText));
  uint32_t* row = words.data() + kSummaryWords;
  for (const tamrik::LifDirEntry* entry : rows) {
    const bool inRegisters = !alwaysBytes && entry->regCount != 0;
    row[kSizeShown] = inRegisters ? entry->regCount : entry->sizeBytes;
    row[kSizeBytes] = entry->sizeBytes;
    row[kStart] = entry->startSector;
    row[kSectors] = entry->sectorCount;
    row[kFlags] = (entry->flagS ? kFlagS : 0U) | (entry->flagP ? kFlagP : 0U) |
                  (entry->flagA ? kFlagA : 0U) | (inRegisters ? kInRegisters : 0U);
    row += kRowWords;
    appendText(entry->name, kRowText[kName]);
    appendText(entry->typeName, kRowText[kType]);
    appendText(entry->machineTag, kRowText[kMachine]);
    appendText(entry->stamp, kRowText[kStamp]);
  }
}

// {"a":0,"b":1}: each name with its place.
template <std::size_t N>
std::string places(const std::array<const char*, N>& names) {
  std::string text = "{";
  for (std::size_t i = 0; i < N; ++i) {
    text += (i > 0 ? ",\"" : "\"") + std::string(names[i]) + "\":" + std::to_string(i);
  }
  return text + "}";
}

// {"a":[0,6],"b":[6,17]}: each text with where it starts and its width.
template <std::size_t N>
std::string spans(const std::array<TextField, N>& fields) {
  std::string text = "{";
  std::size_t at = 0;
  for (std::size_t i = 0; i < N; ++i) {
    text += (i > 0 ? ",\"" : "\"") + std::string(fields[i].name) + "\":[" + std::to_string(at) +
            "," + std::to_string(fields[i].width) + "]";
    at += fields[i].width;
  }
  return text + "}";
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
  note.clear();
  faults.clear();
  // Every byte as stored: the page masks control bytes when it shows them.
  const tamrik::LineWriter writer(collect, nullptr, false);
  try {
    tamrik::printHeading("", name, writer);
    // A file that cannot be read gets its heading alone, as on the command
    // line; the worker says why.
    tamrik::io::ImageFile file = tamrik::io::openImageFile(name);
    if (file.stream) {
      const std::string* readError = file.readError;
      const tamrik::container::OpenedVolume opened =
          tamrik::container::openVolume(std::move(file.stream));
      std::istream image(opened.stream.get());
      tamrik::LifVolume volume(image);
      const bool listed = tamrik::listVolume(volume, sortByName != 0, alwaysBytes != 0, writer);
      if (listed) {
        keepFields(volume, sortByName != 0, alwaysBytes != 0);
        faults = tamrik::volumeFaults(volume, *opened.stream);
      } else {
        words[kState] = volume.lifId == tamrik::kLifId ? kDamaged : kNotLif;
      }
      // What the command line says on standard error: a container refused
      // for what it lacks is damaged, not some other kind of file, and so
      // is one whose disk is no LIF volume.
      note = opened.note();
      if (!listed && note.empty() && (volume.lifId == tamrik::kLifId || opened.container)) {
        note = tamrik::describe(volume.refusal);
      }
      if (readError != nullptr && !readError->empty()) note = *readError;
      if (!note.empty() && words[kState] == kNotLif) words[kState] = kDamaged;
    }
  } catch (const std::bad_alloc&) {
    words.assign(kSummaryWords, 0);
    words[kState] = kOutOfMemory;
    texts.clear();
    writer.line("Out of memory");
  }
  return output.size();
}

// Where the page finds each field: the state names by code, the words' and
// the texts' places in the summary and in each row, and the flags' bits, as
// JSON.
EMSCRIPTEN_KEEPALIVE const char* tamrikLayout() {
  if (layout.empty()) {
    std::string states;
    for (const char* state : kStateNames)
      states += (states.empty() ? "[\"" : ",\"") + std::string(state) + "\"";
    layout = "{\"states\":" + states + "],\"summaryWords\":" + places(kSummaryWordNames) +
             ",\"rowWords\":" + places(kRowWordNames) + ",\"summaryTexts\":" + spans(kSummaryText) +
             ",\"rowTexts\":" + spans(kRowText) + ",\"flags\":{\"S\":" + std::to_string(kFlagS) +
             ",\"P\":" + std::to_string(kFlagP) + ",\"A\":" + std::to_string(kFlagA) +
             ",\"inRegisters\":" + std::to_string(kInRegisters) +
             "},\"summaryWordCount\":" + std::to_string(kSummaryWords) +
             ",\"rowWordCount\":" + std::to_string(kRowWords) +
             ",\"summaryBytes\":" + std::to_string(widthOf(kSummaryText)) +
             ",\"rowBytes\":" + std::to_string(widthOf(kRowText)) + "}";
  }
  return layout.c_str();
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

EMSCRIPTEN_KEEPALIVE const char* tamrikNote() {
  return note.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tamrikNoteSize() {
  return note.size();
}

EMSCRIPTEN_KEEPALIVE const char* tamrikFaults() {
  return faults.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tamrikFaultsSize() {
  return faults.size();
}

}  // extern "C"
