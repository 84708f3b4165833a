// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "io/image_file.h"
#include "io/positioned_streambuf.h"

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

  int fd;
};

bool isFileOrDevice(const struct stat& info) {
  return S_ISREG(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode);
}

}  // namespace

std::unique_ptr<std::streambuf> openImageFile(const std::string& fileName, KnownType known) {
  // Decided by the type before opening: opening a FIFO would release a
  // writer waiting for a reader, whose data would then be lost. A file the
  // directory scan saw as regular needs no second look.
  struct stat info;
  if (known != KnownType::regularFile &&
      (::stat(fileName.c_str(), &info) != 0 || !isFileOrDevice(info))) {
    return nullptr;
  }
  // Non-blocking and checked again, for a FIFO swapped in meanwhile.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  if (::fstat(fd, &info) != 0 || !isFileOrDevice(info)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PositionedStreamBuf<FdFile>>(fd);
}

}  // namespace tamrik::io
