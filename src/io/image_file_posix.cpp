// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "io/image_file.h"
#include "io/positioned_streambuf.h"
#include "io/system_error.h"
#include "reason/reason.h"

// Offsets past 2 and 4 GiB must not be cut short on a 32-bit system.
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

namespace tamrik::io {
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

  int64_t size() const { return ::lseek(fd, 0, SEEK_END); }

  static std::string errorText() { return lastSystemError(); }

  int fd;
};

// What a name that is no file or device is, in words; nothing for a file
// or a device.
const char* notAFile(const struct stat& info) {
  if (S_ISREG(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return nullptr;
  if (S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
  if (S_ISFIFO(info.st_mode)) return "a FIFO, which is not read"_reason;
  // A socket: the one kind left that a folder holds.
  return "a socket, which is not read"_reason;
}

}  // namespace

ImageFile openImageFile(const std::string& fileName, KnownType known) {
  ImageFile image;
  // Decided by the type before opening: opening a FIFO would release a
  // writer waiting for a reader, whose data would then be lost.
  if (known != KnownType::regularFile) {
    struct stat info;
    if (::stat(fileName.c_str(), &info) != 0) {
      image.error = lastSystemError();
      return image;
    }
    if (const char* words = notAFile(info)) {
      image.error = words;
      image.notAFile = true;
      return image;
    }
  }
  // Non-blocking: a file swapped for a FIFO since it was looked at opens
  // at once, and its reads then fail.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    image.error = lastSystemError();
    return image;
  }
  auto stream = std::make_unique<PositionedStreamBuf<FdFile>>(fd);
  image.readError = &stream->readError();
  image.stream = std::move(stream);
  return image;
}

}  // namespace tamrik::io
