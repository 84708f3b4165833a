// SPDX-License-Identifier: MIT
// The file and directory services the command line needs, one source file
// per platform. Each gives only what the front end relies on.
#ifndef TAMRIK_CLI_PLATFORM_H_
#define TAMRIK_CLI_PLATFORM_H_

#include <cstddef>
#include <string>

#include "io/image_file.h"

namespace tamrik::platform {

// The current directory, to be made current again at the end; empty when it
// cannot be told.
std::string currentDirectory();

// False, with the system's reason in io::lastSystemError(), when the folder
// cannot be made current.
bool changeDirectory(const std::string& path);

// The file argument resolved against the current directory.
struct ResolvedArgument {
  std::string folderText;  // shown by -f headings, no trailing separator
  std::string folderPath;  // made current while the matches are listed
  std::string filePart;    // a name, or a pattern with '*' and '?'
};

// False when the argument is empty, cannot be resolved, or has no last
// component.
bool resolveArgument(const std::string& argument, ResolvedArgument& resolved);

// A search of the current directory, in the order the platform returns its
// entries, "." and ".." included.
struct DirectorySearch {
  void* handle = nullptr;
  std::string pattern;
  // The last match's type, where the search reports it.
  io::KnownType knownType = io::KnownType::unknown;

  DirectorySearch() = default;
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;
  ~DirectorySearch();

  // The first match, or false when nothing matches.
  bool first(const std::string& filePart, std::string& name);
  bool next(std::string& name);
};

bool stdoutIsTerminal();
bool stderrIsTerminal();

// Standard output set up for the listing while it lives. On a Windows
// console, the console shows the bytes in the process's code page (UTF-8
// under the program's manifest), and gets its own back at the end.
struct ConsoleOutput {
  ConsoleOutput();
  ConsoleOutput(const ConsoleOutput&) = delete;
  ConsoleOutput& operator=(const ConsoleOutput&) = delete;
  ~ConsoleOutput();
};

// A line that standard output did not take: the listing stops there.
struct OutputFailure {
  bool readerGone;     // a pipe whose reader has gone: nobody to tell
  std::string reason;  // the system's text
};

// Writes one finished line to standard output at once, short writes
// retried. Throws OutputFailure when it cannot.
void writeStdout(const char* data, std::size_t size);

// One line to standard error, if it takes it: there is nowhere else to
// report that it did not.
void writeStderr(const std::string& line);

}  // namespace tamrik::platform

#endif  // TAMRIK_CLI_PLATFORM_H_
