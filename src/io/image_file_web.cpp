// SPDX-License-Identifier: MIT
// The browser's files. The page hands its Web Worker one File at a time; the
// worker reads it synchronously, one slice per buffer, so the reader runs
// unchanged and an image of any size costs only what its header and
// directory take.
#include <emscripten.h>

#include <cstdint>
#include <string>

#include "io/image_file.h"
#include "io/positioned_streambuf.h"

// Module.tamrikFile is the file the worker was handed: its size, and
// read(from, to), its bytes, at once. Each read of a File through
// FileReaderSync is a round trip to the browser, so a window of 64 KiB is
// read at once and the reader's buffers are filled from it: the header and
// directory of most images take one read. The worker may have read the
// first bytes ahead (Module.tamrikHead, of the Module.tamrikHeadAsked it
// asked for), which then are the first window. A file that cannot be read at
// all (moved or changed since it was chosen, or a dropped folder) is not
// opened, and the worker is told why. Module.tamrikReadTo tells the worker
// how far into the file the reader read, so that it keeps no more.
// clang-format off
EM_JS(int, tamrikOpenHandedFile, (), {
  Module.tamrikOpenError = "";
  Module.tamrikWindow = null;
  Module.tamrikReadTo = 0;
  const file = Module.tamrikFile;
  const head = Module.tamrikHead;
  Module.tamrikHead = null;
  if (!file) return 0;
  try {
    const asked = head ? Module.tamrikHeadAsked : 65536;
    const data = head ? new Uint8Array(head) : file.read(0, asked);
    Module.tamrikWindow = {offset: 0, data, toEnd: data.length < asked};
    return 1;
  } catch (error) {
    Module.tamrikOpenError = String(error && error.name || error);
    return 0;
  }
});

EM_JS(int, tamrikReadHandedFile, (double offset, char* into, int bytes), {
  try {
    let window = Module.tamrikWindow;
    if (offset < window.offset ||
        (offset + bytes > window.offset + window.data.length && !window.toEnd)) {
      const size = Math.max(bytes, 65536);
      const data = Module.tamrikFile.read(offset, offset + size);
      window = Module.tamrikWindow = {offset, data, toEnd: data.length < size};
    }
    const got = window.data.subarray(offset - window.offset, offset - window.offset + bytes);
    HEAPU8.set(got, into);
    Module.tamrikReadTo = Math.max(Module.tamrikReadTo, offset + got.length);
    return got.length;
  } catch (error) {
    return -1;
  }
});
EM_JS(double, tamrikHandedFileSize, (), {
  return Module.tamrikFile ? Module.tamrikFile.size : -1;
});
// clang-format on

namespace tamrik::io {
namespace {

// The handed File, for PositionedStreamBuf; JS keeps the File itself.
struct HandedFile {
  using Handle = int;
  explicit HandedFile(int /*unused*/) {}

  int64_t readAt(int64_t offset, char* into, std::size_t bytes) const {
    return tamrikReadHandedFile(static_cast<double>(offset), into, static_cast<int>(bytes));
  }

  static int64_t size() { return static_cast<int64_t>(tamrikHandedFileSize()); }

  // The browser keeps its reasons; the worker reads the file again to tell.
  static std::string errorText() { return "the browser could not read the file"; }
};

}  // namespace

// The name is the one the page gave the handed file, and is only shown.
ImageFile openImageFile(const std::string& /*fileName*/, KnownType /*known*/) {
  ImageFile image;
  if (tamrikOpenHandedFile() == 0) {
    image.error = "the browser could not read the file";
    return image;
  }
  auto stream = std::make_unique<PositionedStreamBuf<HandedFile>>(0);
  image.readError = &stream->readError();
  image.stream = std::move(stream);
  return image;
}

}  // namespace tamrik::io
