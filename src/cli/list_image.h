// SPDX-License-Identifier: MIT
#ifndef TAMRIK_CLI_LIST_IMAGE_H_
#define TAMRIK_CLI_LIST_IMAGE_H_

#include <string>

#include "io/image_file.h"
#include "listing/line_writer.h"

namespace tamrik {

// Opens the named file read-only and lists it. A file that cannot be opened
// as an image, a folder among them, gives no output at all. `known` is what
// the directory search told of the file's type. Returns what the reading
// met that the listing does not show, in plain words (the parts of a
// container's disk that it lacks), or nothing.
std::string listImage(const std::string& fileName, bool sortByName, bool alwaysBytes,
                      const LineWriter& writer, io::KnownType known = io::KnownType::unknown);

}  // namespace tamrik

#endif  // TAMRIK_CLI_LIST_IMAGE_H_
