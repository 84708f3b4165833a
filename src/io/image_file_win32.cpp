// SPDX-License-Identifier: MIT
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>

#include "io/image_file.h"
#include "io/positioned_streambuf.h"

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

  HANDLE file;
};

}  // namespace

// The type is asked of the open handle, which costs no more.
std::unique_ptr<std::streambuf> openImageFile(const std::string& fileName, KnownType /*known*/) {
  // Other programs may read, write, rename or delete the image meanwhile.
  // Without backup semantics a folder does not open at all.
  const HANDLE file = ::CreateFileA(fileName.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  // Only disk files: reading a console, a pipe or a serial port can wait
  // forever.
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    return nullptr;
  }
  return std::make_unique<PositionedStreamBuf<HandleFile>>(file);
}

}  // namespace tamrik::io
