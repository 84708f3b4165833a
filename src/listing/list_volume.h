// SPDX-License-Identifier: MIT
// One volume's listing from an open stream, and the heading that may stand
// above it: what the command line and the web page print for each image.
#ifndef TAMRIK_LISTING_LIST_VOLUME_H_
#define TAMRIK_LISTING_LIST_VOLUME_H_

#include <istream>
#include <string_view>

#include "listing/line_writer.h"

namespace tamrik {

struct LifVolume;

inline constexpr char kRefusal[] = "Unknown or corrupt disk image";

// The heading that -n and -f print before an image, "Content of NAME", and
// the empty line after it. -f passes the shown folder and its separator as
// the prefix; the name is taken as stored and shown by the writer.
void printHeading(std::string_view prefix, std::string_view name, const LineWriter& writer);

// Lists the volume on the stream: the summary and the table, or the refusal
// line and an empty line when it is not a LIF volume or ends inside its
// header or directory.
void listVolume(std::istream& image, bool sortByName, bool alwaysBytes, const LineWriter& writer);

// The same over a volume the caller keeps, for one that shows the volume's
// fields beside its listing: true when it was listed, false for the refusal.
bool listVolume(LifVolume& volume, bool sortByName, bool alwaysBytes, const LineWriter& writer);

}  // namespace tamrik

#endif  // TAMRIK_LISTING_LIST_VOLUME_H_
