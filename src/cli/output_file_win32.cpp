// SPDX-License-Identifier: MIT
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>

#include "cli/output_file.h"

namespace tamrik::platform {
namespace {

// The system's words on one line, starting lower-case, without the full
// stop Windows ends them with.
std::string systemWords(DWORD error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string words(text != nullptr ? text : "", length);
  ::LocalFree(text);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                            words.back() == '.')) {
    words.pop_back();
  }
  if (words.empty()) return "system error " + std::to_string(error);
  if (words.size() > 1 && words[0] >= 'A' && words[0] <= 'Z' && words[1] >= 'a' &&
      words[1] <= 'z') {
    words[0] = static_cast<char>(words[0] - 'A' + 'a');
  }
  return words;
}

HANDLE handleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::string_view textLineEnd() {
  return "\r\n";
}

void binaryStandardOutput() {
  ::_setmode(1, _O_BINARY);
}

OutputFile::~OutputFile() {
  discard();
}

OutputFile::Created OutputFile::create(const std::string& name, std::string& reason) {
  name_ = name;
  // CREATE_NEW fails on any existing name, a link or junction included.
  const HANDLE file = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return Created::kCreated;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return Created::kExists;
  reason = systemWords(error);
  return Created::kFailed;
}

bool OutputFile::write(std::string_view bytes, std::string& reason) {
  const char* data = bytes.data();
  std::size_t size = bytes.size();
  while (size > 0) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
    DWORD written = 0;
    if (::WriteFile(handleOf(handle_), data, chunk, &written, nullptr) == 0 || written == 0) {
      reason = systemWords(::GetLastError());
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool OutputFile::finish(const std::optional<files::FileStamp>& stamp, std::string& reason) {
  if (stamp) {
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(stamp->year);
    local.wMonth = static_cast<WORD>(stamp->month);
    local.wDay = static_cast<WORD>(stamp->day);
    local.wHour = static_cast<WORD>(stamp->hour);
    local.wMinute = static_cast<WORD>(stamp->minute);
    local.wSecond = static_cast<WORD>(stamp->second);
    SYSTEMTIME universal{};
    FILETIME when{};
    if (::TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) != 0 &&
        ::SystemTimeToFileTime(&universal, &when) != 0) {
      ::SetFileTime(handleOf(handle_), nullptr, nullptr, &when);
    }
  }
  const bool closed = ::CloseHandle(handleOf(handle_)) != 0;
  handle_ = -1;
  if (!closed) {
    reason = systemWords(::GetLastError());
    ::DeleteFileA(name_.c_str());
    return false;
  }
  return true;
}

void OutputFile::discard() {
  if (handle_ == -1) return;
  ::CloseHandle(handleOf(handle_));
  handle_ = -1;
  ::DeleteFileA(name_.c_str());
}

}  // namespace tamrik::platform
