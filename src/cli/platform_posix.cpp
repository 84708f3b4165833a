// SPDX-License-Identifier: MIT
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "cli/platform.h"
#include "cli/wildcard.h"

namespace tamrik::platform {

std::string currentDirectory() {
  std::vector<char> path(PATH_MAX);
  while (::getcwd(path.data(), path.size()) == nullptr) {
    if (errno != ERANGE) return {};
    path.resize(path.size() * 2);
  }
  return path.data();
}

bool changeDirectory(const std::string& path) {
  return !path.empty() && ::chdir(path.c_str()) == 0;
}

bool resolveArgument(const std::string& argument, ResolvedArgument& resolved) {
  if (argument.empty() || argument.back() == '/') return false;
  std::string path = argument;
  if (path.front() != '/') {
    const std::string cwd = currentDirectory();
    if (cwd.empty()) return false;
    path = cwd + "/" + path;
  }

  // Folded by the text alone, as the user wrote it: "." and ".." and
  // repeated separators, without asking the file system.
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  if (parts.empty()) return false;

  resolved.filePart = parts.back();
  parts.pop_back();
  resolved.folderText.clear();
  for (const std::string& part : parts) resolved.folderText += "/" + part;
  resolved.folderPath = resolved.folderText.empty() ? "/" : resolved.folderText;
  return true;
}

DirectorySearch::~DirectorySearch() {
  if (handle != nullptr) ::closedir(static_cast<DIR*>(handle));
}

bool DirectorySearch::first(const std::string& filePart, std::string& name) {
  pattern = filePart;
  handle = ::opendir(".");
  return handle != nullptr && next(name);
}

bool DirectorySearch::next(std::string& name) {
  if (handle == nullptr) return false;
  while (const dirent* entry = ::readdir(static_cast<DIR*>(handle))) {
    if (wildcardMatch(pattern, entry->d_name)) {
      name = entry->d_name;
      // Links, and file systems that report no types, are looked at again.
      knownType = entry->d_type == DT_REG ? io::KnownType::regularFile : io::KnownType::unknown;
      return true;
    }
  }
  return false;
}

bool stdoutIsTerminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

bool stderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

// A terminal shows the bytes as they come.
ConsoleOutput::ConsoleOutput() {}
ConsoleOutput::~ConsoleOutput() {}

namespace {

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    // Nothing taken and no error: retrying could go on for ever.
    if (written == 0) {
      errno = EIO;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// What is left of a line after a write that did not take all of it. A
// closed pipe ends the run by SIGPIPE; EPIPE arrives only where that signal
// is ignored.
[[gnu::noinline]] void writeRest(const char* data, std::size_t size, ssize_t written) {
  if (written > 0) {
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  if ((written >= 0 || errno == EINTR) && writeAll(STDOUT_FILENO, data, size)) return;
  throw OutputFailure{errno == EPIPE, std::strerror(errno)};
}

}  // namespace

void writeStdout(const char* data, std::size_t size) {
  // A whole line taken at once is the rule; the loop and the error, which
  // cost more than the call, are for the rest.
  const ssize_t written = ::write(STDOUT_FILENO, data, size);
  if (written == static_cast<ssize_t>(size)) return;
  writeRest(data, size, written);
}

void writeStderr(const std::string& line) {
  writeAll(STDERR_FILENO, line.data(), line.size());
}

}  // namespace tamrik::platform
