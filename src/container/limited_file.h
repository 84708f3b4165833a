// SPDX-License-Identifier: MIT
// A container's file as its reader sees it: no byte past a bound is read,
// whatever the records claim, so a file that never ends or claims
// gigabytes costs no more than the bound. The data simply ends there, and
// the reader can ask afterwards whether that was the bound or the file.
#ifndef TAMRIK_CONTAINER_LIMITED_FILE_H_
#define TAMRIK_CONTAINER_LIMITED_FILE_H_

#include <algorithm>
#include <cstdint>
#include <memory>
#include <streambuf>
#include <utility>

#include "io/offset_streambuf.h"

namespace tamrik::container {

class LimitedFile : public io::OffsetStreamBuf {
 public:
  // `file` stands at its start; nothing at or past `limit` is read of it.
  LimitedFile(std::unique_ptr<std::streambuf> file, uint64_t limit)
      : file_(std::move(file)), limit_(limit) {}
  LimitedFile(const LimitedFile&) = delete;
  LimitedFile& operator=(const LimitedFile&) = delete;
  ~LimitedFile() override = default;

  // True once a read stopped at the bound with more of the file behind it.
  bool cut() const { return cut_; }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    start_ += static_cast<uint64_t>(egptr() - eback());
    const uint64_t room = start_ < limit_ ? limit_ - start_ : 0;
    std::streamsize got = 0;
    if (room > 0) {
      got = file_->sgetn(buffer_,
                         static_cast<std::streamsize>(std::min<uint64_t>(room, sizeof buffer_)));
    }
    if (got <= 0) {
      if (room == 0 && !cut_ && file_->sgetc() != traits_type::eof()) cut_ = true;
      setg(buffer_, buffer_, buffer_);
      return traits_type::eof();
    }
    setg(buffer_, buffer_, buffer_ + got);
    return traits_type::to_int_type(*gptr());
  }

  bool seekOutside(uint64_t at) override {
    const auto pos = pos_type(static_cast<off_type>(at));
    return file_->pubseekpos(pos, std::ios_base::in) == pos;
  }

 private:
  std::unique_ptr<std::streambuf> file_;
  uint64_t limit_;
  bool cut_ = false;
  char buffer_[4096];
};

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_LIMITED_FILE_H_
