// SPDX-License-Identifier: MIT
#ifndef TAMRIK_CLI_LIST_IMAGE_H_
#define TAMRIK_CLI_LIST_IMAGE_H_

#include <istream>
#include <string>
#include <string_view>

#include "listing/line_writer.h"

namespace tamrik {

inline constexpr char kRefusal[] = "Unknown or corrupt disk image";

// The heading that -n and -f print before an image, "Content of NAME", and
// the empty line after it. -f passes the shown folder and its separator as
// the prefix; the name is taken as stored and shown by the writer.
void printHeading(std::string_view prefix, std::string_view name, const LineWriter& writer);

// Lists the image open on the stream: the summary and the table, or the
// refusal line and an empty line when it is not a LIF volume or ends inside
// its header or directory.
void listVolume(std::istream& image, bool sortByName, bool alwaysBytes, const LineWriter& writer);

// Opens the named file read-only and lists it. A file that cannot be opened
// as an image, a folder among them, gives no output at all.
void listImage(const std::string& fileName, bool sortByName, bool alwaysBytes,
               const LineWriter& writer);

}  // namespace tamrik

#endif  // TAMRIK_CLI_LIST_IMAGE_H_
