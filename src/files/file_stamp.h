// SPDX-License-Identifier: MIT
// A directory entry's date and time as a calendar time, for the copied
// file's modification time.
#ifndef TAMRIK_FILES_FILE_STAMP_H_
#define TAMRIK_FILES_FILE_STAMP_H_

#include <optional>

#include "lif/byte_reader.h"

namespace tamrik::files {

// Local time, as the machine that wrote the entry kept it.
struct FileStamp {
  int year;  // four digits
  int month;
  int day;
  int hour;
  int minute;
  int second;
};

// The stamp when every byte is two BCD digits and they make a real date
// and time. The two-digit year is 1970 to 2069; a stamp of zeros, as
// media that keep no clock write, has no month and is no date.
std::optional<FileStamp> validStamp(const BcdStamp& bcd);

}  // namespace tamrik::files

#endif  // TAMRIK_FILES_FILE_STAMP_H_
