// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "cli/output_file.h"

namespace tamrik::platform {
namespace {

// The system's words, starting lower-case as the program's own lines do.
std::string systemWords(int error) {
  std::string words = std::strerror(error);
  if (words.size() > 1 && words[0] >= 'A' && words[0] <= 'Z' && words[1] >= 'a' &&
      words[1] <= 'z') {
    words[0] = static_cast<char>(words[0] - 'A' + 'a');
  }
  return words;
}

}  // namespace

std::string_view textLineEnd() {
  return "\n";
}

void binaryStandardOutput() {}

OutputFile::~OutputFile() {
  discard();
}

OutputFile::Created OutputFile::create(const std::string& name, std::string& reason) {
  name_ = name;
  // O_EXCL fails on any existing name, a dangling link included.
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) {
    handle_ = fd;
    return Created::kCreated;
  }
  if (errno == EEXIST) return Created::kExists;
  reason = systemWords(errno);
  return Created::kFailed;
}

bool OutputFile::write(std::string_view bytes, std::string& reason) {
  const char* data = bytes.data();
  std::size_t size = bytes.size();
  while (size > 0) {
    const ssize_t written = ::write(static_cast<int>(handle_), data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      reason = systemWords(written < 0 ? errno : EIO);
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool OutputFile::finish(const std::optional<files::FileStamp>& stamp, std::string& reason) {
  const int fd = static_cast<int>(handle_);
  if (stamp) {
    std::tm local{};
    local.tm_year = stamp->year - 1900;
    local.tm_mon = stamp->month - 1;
    local.tm_mday = stamp->day;
    local.tm_hour = stamp->hour;
    local.tm_min = stamp->minute;
    local.tm_sec = stamp->second;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    if (when != static_cast<std::time_t>(-1)) {
      const timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
      ::futimens(fd, times);
    }
  }
  if (::close(fd) != 0) {
    reason = systemWords(errno);
    handle_ = -1;
    ::unlink(name_.c_str());
    return false;
  }
  handle_ = -1;
  return true;
}

void OutputFile::discard() {
  if (handle_ < 0) return;
  ::close(static_cast<int>(handle_));
  handle_ = -1;
  ::unlink(name_.c_str());
}

}  // namespace tamrik::platform
