// SPDX-License-Identifier: MIT
// A file copied out of a volume in one of its three forms: as stored, as
// plain text when it is LIF ASCII text, or with its directory entry in
// front (the single-file form emulators and HP-IL tools exchange). The
// command line and the web page both copy through here.
#ifndef TAMRIK_FILES_FILE_COPY_H_
#define TAMRIK_FILES_FILE_COPY_H_

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

#include "files/lif_file.h"
#include "lif/lif_dir_entry.h"

namespace tamrik::files {

enum class CopyForm : uint8_t { kAsStored, kAsText, kWithEntry };

// Whether the file is LIF ASCII text whose records walk to their end mark
// inside the sectors the volume holds of it: only then is it written as
// text. Reads the file's sectors once.
bool convertsToText(std::istream& image, const LifDirEntry& entry);

// The form a copy takes: kAsText only for a file that converts, so that
// any other is written as stored, never half converted.
CopyForm formFor(std::istream& image, const LifDirEntry& entry, bool asText, bool withEntry);

struct CopyOutcome {
  uint64_t read = 0;  // bytes of the file's sectors the volume held
  // False when the volume ended inside the file's sectors.
  bool whole = false;
};

// Writes the file in the form formFor chose to the sink; `lineEnd` ends
// each line of text.
CopyOutcome copyFile(std::istream& image, const LifDirEntry& entry, CopyForm form,
                     std::string_view lineEnd, const ByteSink& sink);

// The words for a copy whose sectors passed the end of the volume:
// "its sectors pass the end of the image; 356 of its 1024 bytes were there".
std::string pastEndNote(const LifDirEntry& entry, const CopyOutcome& outcome);

// What is said of a file whose sectors could not be read (the system's
// words): its copy is not kept, or, on standard output, went out cut.
std::string unreadNote(std::string_view systemWords, bool copyDropped);

}  // namespace tamrik::files

#endif  // TAMRIK_FILES_FILE_COPY_H_
