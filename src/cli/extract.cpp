// SPDX-License-Identifier: MIT
#include "cli/extract.h"

#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/output_file.h"
#include "cli/platform.h"
#include "cli/wildcard.h"
#include "container/open_volume.h"
#include "container/read_log.h"
#include "files/file_copy.h"
#include "files/file_stamp.h"
#include "files/lif_file.h"
#include "files/safe_name.h"
#include "io/image_file.h"
#include "lif/lif_volume.h"
#include "listing/list_volume.h"
#include "reason/reason.h"

namespace tamrik {
namespace {

// Bytes gathered before they go to a file or standard output: text comes a
// record at a time.
constexpr std::size_t kBufferBytes = std::size_t{64} << 10;

// What failed to be written, to stop the run with.
struct WriteFailure {
  std::string reason;
};

// The indexes of the entries asked for: every one when no name is given,
// else the matches of each name in turn, each entry once. Names that match
// nothing are said.
std::vector<std::size_t> chosenEntries(const LifVolume& volume, const Options& options,
                                       Diagnostics& said) {
  std::vector<std::size_t> chosen;
  std::vector<bool> taken(volume.entries.size(), false);
  const auto choose = [&](std::size_t index) {
    if (taken[index]) return;
    taken[index] = true;
    chosen.push_back(index);
  };
  if (options.names.empty()) {
    for (std::size_t i = 0; i < volume.entries.size(); ++i) {
      if (files::isListed(volume.entries[i])) choose(i);
    }
    return chosen;
  }
  for (const std::string& asked : options.names) {
    std::string_view pattern = asked;
    while (!pattern.empty() && pattern.back() == ' ') pattern.remove_suffix(1);
    bool found = false;
    for (std::size_t i = 0; i < volume.entries.size(); ++i) {
      const LifDirEntry& entry = volume.entries[i];
      if (files::isListed(entry) && wildcardMatch(pattern, files::trimmedName(entry.name))) {
        choose(i);
        found = true;
      }
    }
    if (!found) said.failure({options.fileArgument, asked}, "not in the image"_reason);
  }
  return chosen;
}

class Extraction {
 public:
  Extraction(const Options& options, Diagnostics& said, std::istream& image,
             const container::OpenedVolume& opened, const std::string* readError)
      : options_(options), said_(said), image_(image), opened_(opened), readError_(readError) {}

  // Copies one entry; throws WriteFailure when a file cannot be written.
  void copy(const LifDirEntry& entry, const std::string& safe) {
    const std::string_view name = files::trimmedName(entry.name);
    const files::CopyForm form = files::formFor(image_, entry, options_.asText, options_.withEntry);
    files::CopyOutcome outcome;
    if (options_.toStdout) {
      outcome = copyTo(entry, form, [](std::string_view bytes) {
        platform::writeStdout(bytes.data(), bytes.size());
      });
    } else {
      const std::string target = files::targetName(safe, form == files::CopyForm::kAsText);
      platform::OutputFile file;
      std::string reason;
      switch (file.create(target, reason)) {
        case platform::OutputFile::Created::kExists:
          tell(name, fill("{} exists, not overwritten"_reason, {target}));
          return;
        case platform::OutputFile::Created::kFailed:
          said_.failure({options_.fileArgument, name},
                        fill("{} cannot be created: {}"_reason, {target, reason}));
          throw WriteFailure{};
        case platform::OutputFile::Created::kCreated:
          break;
      }
      outcome = copyTo(entry, form, [&](std::string_view bytes) {
        if (!file.write(bytes, reason)) {
          said_.failure({options_.fileArgument, name},
                        fill("{} cannot be written: {}; it was removed"_reason, {target, reason}));
          throw WriteFailure{};
        }
      });
      // A read that failed ends the file early: what was read is not the
      // file, and is not kept.
      if (unreadable()) {
        file.discard();
        tell(name, files::unreadNote(*readError_, true));
        return;
      }
      if (!file.finish(files::validStamp(entry.stampBcd), reason)) {
        said_.failure({options_.fileArgument, name},
                      fill("{} cannot be written: {}; it was removed"_reason, {target, reason}));
        throw WriteFailure{};
      }
    }
    if (unreadable()) {
      tell(name, files::unreadNote(*readError_, false));
    } else if (!outcome.whole) {
      tell(name, fill("{} and were written"_reason, {files::pastEndNote(entry, outcome)}));
    }
    if (opened_.container != nullptr) {
      const uint64_t first = entry.startSector;
      const std::string sectors =
          container::describeSectors(opened_.container->log(), first, first + entry.sectorCount);
      if (!sectors.empty()) tell(name, sectors);
    }
  }

 private:
  bool unreadable() const { return readError_ != nullptr && !readError_->empty(); }

  // The copy through a buffer, flushed whole to `out` at the end.
  template <typename Out>
  files::CopyOutcome copyTo(const LifDirEntry& entry, files::CopyForm form, Out&& out) {
    buffer_.clear();
    const files::CopyOutcome outcome =
        files::copyFile(image_, entry, form, platform::textLineEnd(), [&](std::string_view bytes) {
          if (buffer_.size() + bytes.size() > kBufferBytes && !buffer_.empty()) {
            out(buffer_);
            buffer_.clear();
          }
          if (bytes.size() >= kBufferBytes) {
            out(bytes);
          } else {
            buffer_ += bytes;
          }
        });
    if (!buffer_.empty()) out(buffer_);
    buffer_.clear();
    return outcome;
  }

  void tell(std::string_view name, const std::string& reason) {
    said_.failure({options_.fileArgument, name}, reason);
  }

  const Options& options_;
  Diagnostics& said_;
  std::istream& image_;
  const container::OpenedVolume& opened_;
  const std::string* readError_;
  std::string buffer_;
};

}  // namespace

int extractFiles(const Options& options, const LineWriter& notes) {
  const std::string& imageName = options.fileArgument;
  Diagnostics said(notes);
  io::ImageFile file = io::openImageFile(imageName);
  if (!file.stream) {
    said.failure({imageName}, file.error);
    return kExitIncomplete;
  }
  const std::string* readError = file.readError;
  const container::OpenedVolume opened = container::openVolume(std::move(file.stream));
  std::istream image(opened.stream.get());
  LifVolume volume(image);
  if (!opened.refusal.empty() || !volume.readDirectory()) {
    if (readError != nullptr && !readError->empty()) {
      said.failure({imageName}, *readError);
    } else {
      said.failure({imageName}, opened.refusal.empty() ? describe(volume.refusal) : opened.note());
    }
    return kExitIncomplete;
  }
  // What reading the directory met, before the files add to the log.
  const std::string note = opened.note();
  if (!note.empty()) said.failure({imageName}, note);
  const std::vector<std::size_t> chosen = chosenEntries(volume, options, said);
  const std::vector<std::string> names = files::safeNames(volume.entries);
  if (options.toStdout) platform::binaryStandardOutput();
  Extraction extraction(options, said, image, opened, readError);
  try {
    for (const std::size_t index : chosen) extraction.copy(volume.entries[index], names[index]);
  } catch (const WriteFailure&) {
    return kExitWriteFailed;
  } catch (const platform::OutputFailure& failure) {
    if (!failure.readerGone) said.failure({"cannot write to standard output"}, failure.reason);
    return kExitWriteFailed;
  }
  return said.failed() ? kExitIncomplete : 0;
}

}  // namespace tamrik
