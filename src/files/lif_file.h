// SPDX-License-Identifier: MIT
// A file inside a LIF volume: the run of sectors its directory entry names,
// and the entry itself as the volume stores it.
#ifndef TAMRIK_FILES_LIF_FILE_H_
#define TAMRIK_FILES_LIF_FILE_H_

#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <string_view>

#include "lif/lif_dir_entry.h"

namespace tamrik::files {

// Takes a file's bytes; the pieces together are the whole copy.
using ByteSink = std::function<void(std::string_view)>;

// Whether the listing shows the entry: one whose size works out to zero
// gets no row, and is no file to copy either.
inline bool isListed(const LifDirEntry& entry) {
  return entry.sizeBytes != 0;
}

// The file's name as the listing shows it, trailing blanks left out.
std::string_view trimmedName(const FileName& name);

// Bytes of the file as stored: sectorCount sectors of 256 bytes. In 64
// bits, so that no entry can wrap it.
inline uint64_t storedBytes(const LifDirEntry& entry) {
  return uint64_t{entry.sectorCount} * 256;
}

// The 32 bytes of the entry as they stand in the directory: every field is
// kept as read, so this is the stored record.
std::string entryRecord(const LifDirEntry& entry);

// Hands the file's sectors to the sink in pieces, from the volume on the
// stream, and returns how many bytes there were: fewer than storedBytes
// when the volume ends first. Nothing past its end is made up.
uint64_t readSectors(std::istream& image, const LifDirEntry& entry, const ByteSink& sink);

}  // namespace tamrik::files

#endif  // TAMRIK_FILES_LIF_FILE_H_
