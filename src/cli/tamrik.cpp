// SPDX-License-Identifier: MIT
#include "cli/tamrik.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "cli/diagnostics.h"
#include "cli/extract.h"
#include "cli/list_image.h"
#include "cli/options.h"
#include "cli/platform.h"
#include "io/image_file.h"
#include "io/system_error.h"
#include "listing/line_writer.h"
#include "listing/list_volume.h"

namespace tamrik {
namespace {

int printUsage(const LineWriter& writer) {
  for (const char* line : kUsageLines) writer.line(line);
  return kExitUsage;
}

void listMatches(const Options& options, const platform::ResolvedArgument& where,
                 const LineWriter& writer, Diagnostics& said) {
  const bool pattern = where.filePart.find_first_of("*?") != std::string::npos;
  // A name with no wildcard anywhere names one file, which must be there;
  // what a pattern does not find is simply not there.
  const bool named = options.fileArgument.find_first_of("*?") == std::string::npos;
  // A folder that cannot be entered has no matches: searching whatever
  // directory happens to be current instead would list the wrong files.
  if (!platform::changeDirectory(where.folderPath)) {
    if (named) said.failure({options.fileArgument}, io::lastSystemError());
    return;
  }
  platform::DirectorySearch search;
  std::string name;
  if (!search.first(where.filePart, name)) {
    if (named) {
      const io::ImageFile file = io::openImageFile(where.filePart);
      said.failure({options.fileArgument}, file.stream ? std::strerror(ENOENT) : file.error);
    }
    return;
  }
  // The matches of a pattern are opened as the search saw them, a system
  // call fewer per image; a file named alone is still looked at first.
  // What -f puts before every name, the same for all matches.
  std::string folder;
  if (options.fullPathHeading) {
    writer.appendShown(folder, where.folderText);
    folder += '\\';
  }
  for (;;) {
    if (options.nameHeading) printHeading(folder, name, writer);
    listImage(name, options.sortByName, options.alwaysBytes, writer, said, !pattern,
              pattern ? search.knownType : io::KnownType::unknown);
    if (!search.next(name)) break;
    writer.line("");
  }
}

}  // namespace

int runTamrik(int argc, const char* const* argv, const LineWriter& writer,
              const LineWriter& notes) {
  const std::optional<Options> options = parseOptions(argc, argv);
  if (!options) return printUsage(writer);
  if (options->extract) return extractFiles(*options, notes);

  platform::ResolvedArgument where;
  if (!platform::resolveArgument(options->fileArgument, where)) {
    return printUsage(writer);
  }
  const std::string saved = platform::currentDirectory();
  Diagnostics said(notes);
  listMatches(*options, where, writer, said);
  if (!saved.empty()) platform::changeDirectory(saved);
  return said.failed() ? kExitIncomplete : 0;
}

}  // namespace tamrik
