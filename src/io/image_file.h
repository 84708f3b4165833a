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

// Opens a regular file or a device for reading, never blocking; nothing for
// a folder, a FIFO, a socket or a file that cannot be opened.
std::unique_ptr<std::streambuf> openImageFile(const std::string& fileName,
                                              KnownType known = KnownType::unknown);

}  // namespace tamrik::io

#endif  // TAMRIK_IO_IMAGE_FILE_H_
