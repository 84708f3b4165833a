// SPDX-License-Identifier: MIT
// The files -x writes: created in the current folder only when no file,
// folder or link of that name is there, written whole or removed, one
// source file per platform.
#ifndef TAMRIK_CLI_OUTPUT_FILE_H_
#define TAMRIK_CLI_OUTPUT_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "files/file_stamp.h"

namespace tamrik::platform {

// How a line of converted text ends on this platform.
std::string_view textLineEnd();

// Standard output passes the bytes of -p as they are: Windows would
// otherwise make each LF byte of a file CR LF.
void binaryStandardOutput();

class OutputFile {
 public:
  enum class Created : uint8_t { kCreated, kExists, kFailed };

  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // A file that was not finished is removed.
  ~OutputFile();

  // Creates the file exclusively: never over an existing one, never
  // through a link. `name` holds no separator. `reason` is set on failure.
  Created create(const std::string& name, std::string& reason);

  // False with `reason` when the file system did not take the bytes.
  bool write(std::string_view bytes, std::string& reason);

  // Closes the file, kept, its modification time set to `stamp` when there
  // is one. False with `reason` when the close failed; the file is removed.
  bool finish(const std::optional<files::FileStamp>& stamp, std::string& reason);

  // Closes and removes a file that was not finished.
  void discard();

 private:
  std::intptr_t handle_ = -1;
  std::string name_;
};

}  // namespace tamrik::platform

#endif  // TAMRIK_CLI_OUTPUT_FILE_H_
