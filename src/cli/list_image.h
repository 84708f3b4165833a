// SPDX-License-Identifier: MIT
#ifndef TAMRIK_CLI_LIST_IMAGE_H_
#define TAMRIK_CLI_LIST_IMAGE_H_

#include <string>

#include "cli/diagnostics.h"
#include "io/image_file.h"
#include "listing/line_writer.h"

namespace tamrik {

// Opens the named file read-only and lists it, then says on standard error
// what the listing does not show: why the file could not be opened or
// read, why a file that looks like a LIF volume or a container was
// refused, what a container could not give, and what the volume's own
// directory shows to be impossible. A file that cannot be opened gets no
// listing. `known` is what the directory search told of the file's type;
// `named` is true when the user named the file, false for a match of a
// pattern, whose folders and special files are passed over in silence.
void listImage(const std::string& fileName, bool sortByName, bool alwaysBytes,
               const LineWriter& writer, Diagnostics& said, bool named,
               io::KnownType known = io::KnownType::unknown);

// The same for a file opened already, said under `name`.
void listImageFile(io::ImageFile& file, const std::string& name, bool sortByName, bool alwaysBytes,
                   const LineWriter& writer, Diagnostics& said, bool named);

}  // namespace tamrik

#endif  // TAMRIK_CLI_LIST_IMAGE_H_
