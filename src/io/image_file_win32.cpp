// SPDX-License-Identifier: MIT
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "io/image_file.h"
#include "io/positioned_streambuf.h"
#include "io/system_error.h"

namespace tamrik::io {
namespace {

// An open file handle for PositionedStreamBuf.
struct HandleFile {
  using Handle = HANDLE;
  explicit HandleFile(HANDLE handle) : file(handle) {}
  HandleFile(const HandleFile&) = delete;
  HandleFile& operator=(const HandleFile&) = delete;
  ~HandleFile() { ::CloseHandle(file); }

  int64_t readAt(int64_t offset, char* into, std::size_t bytes) const {
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD got = 0;
    if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
        !::ReadFile(file, into, static_cast<DWORD>(bytes), &got, nullptr)) {
      return -1;
    }
    return got;
  }

  int64_t size() const {
    LARGE_INTEGER bytes;
    return ::GetFileSizeEx(file, &bytes) ? bytes.QuadPart : -1;
  }

  static std::string errorText() { return lastSystemError(); }

  HANDLE file;
};

}  // namespace

// The type is asked of the open handle, which costs no more.
ImageFile openImageFile(const std::string& fileName, KnownType /*known*/) {
  ImageFile image;
  // Other programs may read, write, rename or delete the image meanwhile.
  // Without backup semantics a folder does not open at all.
  const HANDLE file = ::CreateFileA(fileName.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // A folder is not opened without backup semantics; it is no image.
    const DWORD attributes = ::GetFileAttributesA(fileName.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      image.error = std::strerror(EISDIR);
      image.notAFile = true;
    } else {
      ::SetLastError(error);
      image.error = lastSystemError();
    }
    return image;
  }
  // Only disk files: reading a console, a pipe or a serial port can wait
  // forever.
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    image.error = "not a file on a disk, which is not read";
    image.notAFile = true;
    return image;
  }
  auto stream = std::make_unique<PositionedStreamBuf<HandleFile>>(file);
  image.readError = &stream->readError();
  image.stream = std::move(stream);
  return image;
}

}  // namespace tamrik::io
