// SPDX-License-Identifier: MIT
// Opening an image file: the one service the reader needs of the platform's
// files, one source file per platform. The result is a seekable byte stream
// over the file, read at absolute offsets; what it holds (a raw volume or a
// container) is decided above this layer.
#ifndef TAMRIK_IO_IMAGE_FILE_H_
#define TAMRIK_IO_IMAGE_FILE_H_

#include <memory>
#include <streambuf>
#include <string>

namespace tamrik::io {

// What a directory search has already told of a file's type.
enum class KnownType { unknown, regularFile };

// An image file opened for reading, or why it was not.
struct ImageFile {
  std::unique_ptr<std::streambuf> stream;  // null when it was not opened
  std::string error;                       // then why, in the system's words
  // Set with `error` for a folder, a FIFO or a socket, which is never
  // opened: not a file that failed, but no image at all.
  bool notAFile = false;
  // The system's words for a read of the stream that failed, kept by the
  // stream while it lives; empty while none has.
  const std::string* readError = nullptr;
};

// Opens a regular file or a device for reading, never blocking. A name the
// directory search saw as a regular file is opened without a look at its
// type; the reads then refuse what is not a file.
ImageFile openImageFile(const std::string& fileName, KnownType known = KnownType::unknown);

}  // namespace tamrik::io

#endif  // TAMRIK_IO_IMAGE_FILE_H_
