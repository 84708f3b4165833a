#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

#include "cli/platform.h"

namespace tamrik::platform {
namespace {

// The path limit of the ANSI file functions, terminating NUL included.
constexpr DWORD kPathChars = MAX_PATH;

// Buffered, seekable reading over a file handle. A seek inside the buffer
// keeps it, so reading the header and then a directory close behind it costs
// one read.
class HandleStreamBuf : public std::streambuf {
 public:
  explicit HandleStreamBuf(HANDLE file) : file_(file), buffer_(kBufferBytes) {}
  HandleStreamBuf(const HandleStreamBuf&) = delete;
  HandleStreamBuf& operator=(const HandleStreamBuf&) = delete;
  ~HandleStreamBuf() override { ::CloseHandle(file_); }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    bufferStart_ = position_;
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    LARGE_INTEGER at;
    at.QuadPart = position_;
    DWORD got = 0;
    if (!::SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) ||
        !::ReadFile(file_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr) ||
        got == 0) {
      return traits_type::eof();
    }
    position_ += got;
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
  }

  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override {
    if (dir == std::ios_base::cur) {
      off += bufferStart_ + (gptr() - eback());
    } else if (dir == std::ios_base::end) {
      LARGE_INTEGER size;
      if (!::GetFileSizeEx(file_, &size)) return pos_type(off_type(-1));
      off += size.QuadPart;
    }
    return seekpos(pos_type(off), which);
  }

  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    const off_type target = pos;
    if ((which & std::ios_base::in) != std::ios_base::in || target < 0) {
      return pos_type(off_type(-1));
    }
    const off_type inBuffer = target - bufferStart_;
    if (inBuffer >= 0 && inBuffer <= egptr() - eback()) {
      setg(eback(), eback() + inBuffer, egptr());
    } else {
      bufferStart_ = position_ = target;
      setg(buffer_.data(), buffer_.data(), buffer_.data());
    }
    return pos;
  }

 private:
  static constexpr std::size_t kBufferBytes = std::size_t{16} * 1024;
  HANDLE file_;
  std::vector<char> buffer_;
  off_type bufferStart_ = 0;  // file offset of eback()
  off_type position_ = 0;     // file offset just past the buffered data
};

bool isBareDrive(const std::string& folder) {
  return folder.size() == 2 && folder[1] == ':';
}

}  // namespace

std::string currentDirectory() {
  char path[kPathChars];
  const DWORD length = ::GetCurrentDirectoryA(kPathChars, path);
  // A longer path reports the size it needs instead, and is not in the buffer.
  if (length == 0 || length >= kPathChars) return {};
  return std::string(path, length);
}

bool changeDirectory(const std::string& path) {
  return !path.empty() && ::SetCurrentDirectoryA(path.c_str()) != 0;
}

bool resolveArgument(const std::string& argument, ResolvedArgument& resolved) {
  if (argument.empty()) return false;
  char path[kPathChars];
  char* filePart = nullptr;
  const DWORD length = ::GetFullPathNameA(argument.c_str(), kPathChars, path, &filePart);
  // Too long a result reports the size it needs and leaves the buffer
  // undefined; a path ending in a separator has no file part.
  if (length == 0 || length >= kPathChars || filePart == nullptr || filePart <= path ||
      filePart >= path + length) {
    return false;
  }
  resolved.filePart = filePart;
  resolved.folderText.assign(path, static_cast<std::size_t>(filePart - 1 - path));
  // "C:" alone names the drive's own current directory, not its root.
  resolved.folderPath =
      isBareDrive(resolved.folderText) ? resolved.folderText + "\\" : resolved.folderText;
  return true;
}

DirectorySearch::~DirectorySearch() {
  if (handle != nullptr) ::FindClose(static_cast<HANDLE>(handle));
}

bool DirectorySearch::first(const std::string& filePart, std::string& name) {
  if (handle != nullptr) {
    ::FindClose(static_cast<HANDLE>(handle));
    handle = nullptr;
  }
  pattern = filePart;
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  handle = search;
  name = found.cFileName;
  return true;
}

bool DirectorySearch::next(std::string& name) {
  if (handle == nullptr) return false;
  WIN32_FIND_DATAA found;
  if (!::FindNextFileA(static_cast<HANDLE>(handle), &found)) return false;
  name = found.cFileName;
  return true;
}

std::unique_ptr<std::streambuf> openImage(const std::string& fileName) {
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
  return std::make_unique<HandleStreamBuf>(file);
}

bool stdoutIsTerminal() {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return out != nullptr && out != INVALID_HANDLE_VALUE && ::GetConsoleMode(out, &mode) != 0;
}

}  // namespace tamrik::platform
