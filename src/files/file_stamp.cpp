// SPDX-License-Identifier: MIT
#include "files/file_stamp.h"

namespace tamrik::files {
namespace {

int daysIn(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<FileStamp> validStamp(const BcdStamp& bcd) {
  int value[6];
  for (std::size_t i = 0; i < bcd.size(); ++i) {
    const int high = bcd[i] >> 4;
    const int low = bcd[i] & 0x0F;
    if (high > 9 || low > 9) return std::nullopt;
    value[i] = high * 10 + low;
  }
  FileStamp stamp{value[0] < 70 ? 2000 + value[0] : 1900 + value[0],
                  value[1],
                  value[2],
                  value[3],
                  value[4],
                  value[5]};
  if (stamp.month < 1 || stamp.month > 12) return std::nullopt;
  if (stamp.day < 1 || stamp.day > daysIn(stamp.year, stamp.month)) return std::nullopt;
  if (stamp.hour > 23 || stamp.minute > 59 || stamp.second > 59) return std::nullopt;
  return stamp;
}

}  // namespace tamrik::files
