// SPDX-License-Identifier: MIT
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "cli/platform.h"
#include "cli/positioned_streambuf.h"
#include "cli/wildcard.h"

namespace tamrik::platform {
namespace {

// An open descriptor for PositionedStreamBuf.
struct FdFile {
  using Handle = int;
  explicit FdFile(int descriptor) : fd(descriptor) {}
  FdFile(const FdFile&) = delete;
  FdFile& operator=(const FdFile&) = delete;
  ~FdFile() { ::close(fd); }

  int64_t readAt(int64_t offset, char* into, std::size_t bytes) const {
    ssize_t got;
    do {
      got = ::pread(fd, into, bytes, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got;
  }

  int64_t size() const {
    struct stat info;
    return ::fstat(fd, &info) == 0 ? int64_t{info.st_size} : -1;
  }

  int fd;
};

}  // namespace

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
      return true;
    }
  }
  return false;
}

std::unique_ptr<std::streambuf> openImage(const std::string& fileName) {
  // Non-blocking, so that a FIFO without a writer cannot stall the listing
  // before the type check below turns it away.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (::fstat(fd, &info) != 0 ||
      !(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PositionedStreamBuf<FdFile>>(fd);
}

bool stdoutIsTerminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

void writeStdout(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(STDOUT_FILENO, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

}  // namespace tamrik::platform
