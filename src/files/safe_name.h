// SPDX-License-Identifier: MIT
// The names files get when they are copied out of a volume: the same on
// every platform, so that one image extracts to the same names everywhere,
// and none that a file system would take for something else (a path, a
// device, a name it alters).
#ifndef TAMRIK_FILES_SAFE_NAME_H_
#define TAMRIK_FILES_SAFE_NAME_H_

#include <string>
#include <string_view>
#include <vector>

#include "lif/lif_dir_entry.h"

namespace tamrik::files {

// One name alone: trailing blanks dropped; / \ : * ? " < > |, control
// bytes, 0x7F and bytes above it made '_'; an empty name, or one of dots
// only, made "_"; a trailing dot or blank made '_'; a name whose part
// before its first dot is a device name of Windows given '_' after that
// part.
std::string safeName(std::string_view lifName);

// The safe names of a directory's entries, by index: the second and later
// of names that are equal but for case get "~2", "~3" and on. An entry the
// listing does not show gets none, and takes no name from another.
std::vector<std::string> safeNames(const std::vector<LifDirEntry>& entries);

// The name a copy is written under: with ".txt" when it is written as text.
std::string targetName(const std::string& safe, bool asText);

}  // namespace tamrik::files

#endif  // TAMRIK_FILES_SAFE_NAME_H_
