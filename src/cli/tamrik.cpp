// SPDX-License-Identifier: MIT
#include "cli/tamrik.h"

#include <string>

#include "cli/extract.h"
#include "cli/list_image.h"
#include "cli/options.h"
#include "cli/platform.h"
#include "listing/line_writer.h"
#include "listing/list_volume.h"

namespace tamrik {
namespace {

int printUsage(const LineWriter& writer) {
  for (const char* line : kUsageLines) writer.line(line);
  return kExitUsage;
}

void listMatches(const Options& options, const platform::ResolvedArgument& where,
                 const LineWriter& writer, const LineWriter& notes) {
  // A folder that cannot be entered has no matches: searching whatever
  // directory happens to be current instead would list the wrong files.
  if (!platform::changeDirectory(where.folderPath)) return;

  platform::DirectorySearch search;
  std::string name;
  if (!search.first(where.filePart, name)) return;
  // The matches of a pattern are opened as the search saw them, a system
  // call fewer per image; a file named alone is still looked at first.
  const bool pattern = where.filePart.find_first_of("*?") != std::string::npos;
  // What -f puts before every name, the same for all matches.
  std::string folder;
  if (options.fullPathHeading) {
    writer.appendShown(folder, where.folderText);
    folder += '\\';
  }
  for (;;) {
    if (options.nameHeading) printHeading(folder, name, writer);
    const std::string note = listImage(name, options.sortByName, options.alwaysBytes, writer,
                                       pattern ? search.knownType : io::KnownType::unknown);
    // The image's lines go out together, and before anything said of it.
    writer.flush();
    if (!note.empty()) {
      std::string line = "tamrik: ";
      notes.appendShown(line, name);
      line += ": ";
      line += note;
      notes.line(line);
    }
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
  listMatches(*options, where, writer, notes);
  if (!saved.empty()) platform::changeDirectory(saved);
  return 0;
}

}  // namespace tamrik
