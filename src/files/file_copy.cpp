// SPDX-License-Identifier: MIT
#include "files/file_copy.h"

#include "files/lif_text.h"
#include "reason/reason.h"

namespace tamrik::files {

bool convertsToText(std::istream& image, const LifDirEntry& entry) {
  if (static_cast<uint16_t>(entry.typeCode) != kLifTextType) return false;
  LifTextWalk walk;
  readSectors(image, entry, [&walk](std::string_view piece) { walk.feed(piece); });
  return walk.ended();
}

CopyForm formFor(std::istream& image, const LifDirEntry& entry, bool asText, bool withEntry) {
  if (withEntry) return CopyForm::kWithEntry;
  return asText && convertsToText(image, entry) ? CopyForm::kAsText : CopyForm::kAsStored;
}

CopyOutcome copyFile(std::istream& image, const LifDirEntry& entry, CopyForm form,
                     std::string_view lineEnd, const ByteSink& sink) {
  CopyOutcome outcome;
  if (form == CopyForm::kAsText) {
    LifTextWalk walk(sink, lineEnd);
    outcome.read = readSectors(image, entry, [&walk](std::string_view piece) { walk.feed(piece); });
  } else {
    if (form == CopyForm::kWithEntry) sink(entryRecord(entry));
    outcome.read = readSectors(image, entry, sink);
  }
  outcome.whole = outcome.read == storedBytes(entry);
  return outcome;
}

std::string pastEndNote(const LifDirEntry& entry, const CopyOutcome& outcome) {
  return fill("its sectors pass the end of the image; {} of its {} bytes were there"_reason,
              {std::to_string(outcome.read), std::to_string(storedBytes(entry))});
}

std::string unreadNote(std::string_view systemWords, bool copyDropped) {
  return copyDropped ? fill("cannot be read: {}; nothing was written"_reason, {systemWords})
                     : fill("cannot be read: {}"_reason, {systemWords});
}

}  // namespace tamrik::files
