// SPDX-License-Identifier: MIT
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

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

namespace {

bool isConsole(DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

bool stdoutIsTerminal() {
  return isConsole(STD_OUTPUT_HANDLE);
}

bool stderrIsTerminal() {
  return isConsole(STD_ERROR_HANDLE);
}

namespace {

// Standard output's console while a ConsoleOutput lives, else null.
HANDLE console = nullptr;
// The console's own code page while it shows another, else 0; kept here for
// the break handler too: Ctrl+C ends the process without running destructors.
UINT consoleCodePage = 0;

BOOL WINAPI restoreOnBreak(DWORD) {
  if (consoleCodePage != 0) ::SetConsoleOutputCP(consoleCodePage);
  return FALSE;  // and on to the default handler, which ends the process
}

}  // namespace

ConsoleOutput::ConsoleOutput() {
  // Names come in the process's code page; a console left in its OEM page
  // would show them garbled.
  if (!stdoutIsTerminal()) return;
  console = ::GetStdHandle(STD_OUTPUT_HANDLE);
  const UINT current = ::GetConsoleOutputCP();
  const UINT wanted = ::GetACP();
  if (current == 0 || current == wanted || !::SetConsoleOutputCP(wanted)) return;
  consoleCodePage = current;
  ::SetConsoleCtrlHandler(restoreOnBreak, TRUE);
}

ConsoleOutput::~ConsoleOutput() {
  console = nullptr;
  if (consoleCodePage == 0) return;
  ::SetConsoleOutputCP(consoleCodePage);
  ::SetConsoleCtrlHandler(restoreOnBreak, FALSE);
  consoleCodePage = 0;
}

namespace {

// A failed write: the system's error, or the C runtime's where the system
// was not asked (a descriptor that is not open).
struct WriteError {
  unsigned long system = 0;
  int runtime = 0;
};

// Through the C runtime's descriptor in text mode, which ends each line in
// CR LF as Windows programs do.
bool writeAll(int fd, const char* data, std::size_t size, WriteError& error) {
  while (size > 0) {
    const unsigned chunk = size < 0x40000000 ? static_cast<unsigned>(size) : 0x40000000U;
    _doserrno = 0;
    const int written = ::_write(fd, data, chunk);
    if (written <= 0) {
      error = {_doserrno, written == 0 ? EIO : errno};
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Straight to the console, which shows the bytes in its output code page;
// the C runtime may translate them on its way (Wine's does). The line end
// becomes CR LF here.
bool writeConsole(const char* data, std::size_t size, WriteError& error) {
  const bool lineEnd = size > 0 && data[size - 1] == '\n';
  const std::size_t text = lineEnd ? size - 1 : size;
  for (const auto& [from, count] : {std::pair<const char*, std::size_t>{data, text},
                                    {"\r\n", lineEnd ? std::size_t{2} : std::size_t{0}}}) {
    for (std::size_t done = 0; done < count;) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 0x10000));
      DWORD written = 0;
      if (!::WriteFile(console, from + done, chunk, &written, nullptr) || written == 0) {
        error = {::GetLastError(), EIO};
        return false;
      }
      done += written;
    }
  }
  return true;
}

std::string failureText(const WriteError& error) {
  if (error.system != 0) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error.system), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason(text != nullptr ? text : "", length);
    ::LocalFree(text);
    // One line: the system's text ends in a full stop and CR LF.
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
      reason.pop_back();
    }
    if (!reason.empty()) return reason;
  }
  return std::strerror(error.runtime);
}

}  // namespace

void writeStdout(const char* data, std::size_t size) {
  WriteError error;
  if (console != nullptr ? writeConsole(data, size, error) : writeAll(1, data, size, error)) return;
  // A pipe whose reader has gone ends the run quietly, as SIGPIPE does
  // elsewhere. Windows says "being closed", Wine "not connected".
  const bool readerGone = error.system == ERROR_BROKEN_PIPE || error.system == ERROR_NO_DATA ||
                          error.system == ERROR_PIPE_NOT_CONNECTED;
  throw OutputFailure{readerGone, failureText(error)};
}

void writeStderr(const std::string& line) {
  WriteError ignored;
  writeAll(2, line.data(), line.size(), ignored);
}

}  // namespace tamrik::platform
