// SPDX-License-Identifier: MIT
// What the page's worker calls to take one file out of the handed image,
// through the same code as `tamrik -x`: the file's bytes as stored, as text
// (LIF ASCII, LF line ends, as -a writes them on POSIX) or with its
// directory entry in front, and the name the command line writes it under.
//
// Contract: the worker hands the image as for tamrikList (Module.tamrikFile)
// and calls tamrikFile(row, form, sortByName), where `row` counts the rows
// of the listing from 0 in the order tamrikList(sortByName, ...) showed them
// and `form` is 0 as stored, 1 as text (a file that does not convert comes
// as stored: tamrikFileIsText tells), 2 with its entry. It returns a state:
// 0 the file whole, 1 the file with a note (tamrikFileNote: what the command
// line says after "tamrik: IMAGE: NAME: "), 2 no such row, 3 the image could
// not be read or is no LIF volume (it changed or went since it was listed),
// 4 out of memory. The bytes, the name and the note stay until the next call.
// Between tamrikFileHold(1) and tamrikFileHold(0) the image is opened once,
// by the first call, for all of them.
#include <emscripten.h>

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
#include "container/read_log.h"
#include "files/file_copy.h"
#include "files/safe_name.h"
#include "io/image_file.h"
#include "lif/lif_volume.h"
#include "listing/directory_table.h"

namespace {

enum FileState : int { kWhole, kWithNote, kNoRow, kUnreadable, kOutOfMemory };

std::string fileBytes;
std::string fileName;
std::string fileNote;
bool fileIsText = false;

// The image as opened for copies: the volume, its rows in the listing's
// order and the names of its files.
struct OpenImage {
  tamrik::container::OpenedVolume opened;
  std::istream image;
  tamrik::LifVolume volume;
  bool sortByName;
  std::vector<const tamrik::LifDirEntry*> rows;
  std::vector<std::string> safe;

  OpenImage(tamrik::container::OpenedVolume from, bool byName)
      : opened(std::move(from)), image(opened.stream.get()), volume(image), sortByName(byName) {}
};

// Opened again for each copy, unless the worker holds it (tamrikFileHold):
// to copy every row, each would read the directory and name every file.
std::unique_ptr<OpenImage> held;
bool holding = false;

// Null when the image could not be read or is no LIF volume.
std::unique_ptr<OpenImage> openImage(bool sortByName) {
  auto open = std::make_unique<OpenImage>(
      tamrik::container::openVolume(tamrik::io::openImageFile({}).stream), sortByName);
  if (!open->opened.stream || !open->opened.refusal.empty() || !open->volume.readDirectory()) {
    return nullptr;
  }
  open->rows = tamrik::tableRows(open->volume, sortByName);
  open->safe = tamrik::files::safeNames(open->volume.entries);
  return open;
}

int copyRow(std::size_t row, int form, bool sortByName) {
  std::unique_ptr<OpenImage> fresh;
  OpenImage* open = held && held->sortByName == sortByName ? held.get() : nullptr;
  if (open == nullptr) {
    fresh = openImage(sortByName);
    if (!fresh) return kUnreadable;
    open = fresh.get();
    if (holding) held = std::move(fresh);
  }
  if (row >= open->rows.size()) return kNoRow;
  const tamrik::LifDirEntry& entry = *open->rows[row];
  const auto index = static_cast<std::size_t>(open->rows[row] - open->volume.entries.data());

  std::istream& image = open->image;
  image.clear();
  const tamrik::files::CopyForm chosen = tamrik::files::formFor(image, entry, form == 1, form == 2);
  fileIsText = chosen == tamrik::files::CopyForm::kAsText;
  fileName = tamrik::files::targetName(open->safe[index], fileIsText);
  const tamrik::files::CopyOutcome outcome = tamrik::files::copyFile(
      image, entry, chosen, "\n", [](std::string_view piece) { fileBytes += piece; });
  if (!outcome.whole) fileNote = tamrik::files::pastEndNote(entry, outcome);
  if (open->opened.container != nullptr) {
    const std::string sectors =
        tamrik::container::describeSectors(open->opened.container->log(), entry.startSector,
                                           uint64_t{entry.startSector} + entry.sectorCount);
    if (!sectors.empty()) fileNote += (fileNote.empty() ? "" : "; ") + sectors;
  }
  return fileNote.empty() ? kWhole : kWithNote;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int tamrikFile(int row, int form, int sortByName) {
  fileBytes.clear();
  fileName.clear();
  fileNote.clear();
  fileIsText = false;
  if (row < 0) return kNoRow;
  try {
    return copyRow(static_cast<std::size_t>(row), form, sortByName != 0);
  } catch (const std::bad_alloc&) {
    fileBytes.clear();
    fileBytes.shrink_to_fit();
    return kOutOfMemory;
  }
}

// 1: the image the next tamrikFile opens stays open for the calls after
// it, as the worker copies many rows of one image whose file does not
// change in between; 0: it is let go.
EMSCRIPTEN_KEEPALIVE void tamrikFileHold(int hold) {
  holding = hold != 0;
  if (!holding) held.reset();
}

EMSCRIPTEN_KEEPALIVE const char* tamrikFileBytes() {
  return fileBytes.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tamrikFileSize() {
  return fileBytes.size();
}

EMSCRIPTEN_KEEPALIVE const char* tamrikFileName() {
  return fileName.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tamrikFileNameSize() {
  return fileName.size();
}

EMSCRIPTEN_KEEPALIVE int tamrikFileIsText() {
  return fileIsText ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const char* tamrikFileNote() {
  return fileNote.data();
}

EMSCRIPTEN_KEEPALIVE std::size_t tamrikFileNoteSize() {
  return fileNote.size();
}

}  // extern "C"
