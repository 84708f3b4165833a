// SPDX-License-Identifier: MIT
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>

#include <vector>

#include "cli/platform.h"

namespace tamrik::platform {
namespace {

// The path limit of the ANSI file functions, terminating NUL included.
constexpr DWORD kPathChars = MAX_PATH;

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

bool stdoutIsTerminal() {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return out != nullptr && out != INVALID_HANDLE_VALUE && ::GetConsoleMode(out, &mode) != 0;
}

void writeStdout(const char* data, std::size_t size) {
  // Through the C runtime's descriptor in text mode, which ends each line
  // in CR LF as Windows programs do.
  while (size > 0) {
    const unsigned chunk = size < 0x40000000 ? static_cast<unsigned>(size) : 0x40000000U;
    const int written = ::_write(1, data, chunk);
    if (written <= 0) return;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

}  // namespace tamrik::platform
