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

namespace tamrik::container {

class LimitedFile : public std::streambuf {
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
    const uint64_t position = start_ + static_cast<uint64_t>(egptr() - eback());
    start_ = position;
    const uint64_t room = position < limit_ ? limit_ - position : 0;
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

  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override {
    // The end would be the file's, not the bound's; no reader asks for it.
    if (dir == std::ios_base::end) return pos_type(off_type(-1));
    if (dir == std::ios_base::cur) off += static_cast<off_type>(start_) + (gptr() - eback());
    return seekpos(pos_type(off), which);
  }

  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    const off_type target = pos;
    if ((which & std::ios_base::in) != std::ios_base::in || target < 0) {
      return pos_type(off_type(-1));
    }
    const auto at = static_cast<uint64_t>(target);
    if (at >= start_ && at - start_ <= static_cast<uint64_t>(egptr() - eback())) {
      setg(eback(), eback() + (at - start_), egptr());
      return pos;
    }
    if (file_->pubseekpos(pos, which) != pos) return pos_type(off_type(-1));
    start_ = at;
    setg(buffer_, buffer_, buffer_);
    return pos;
  }

 private:
  std::unique_ptr<std::streambuf> file_;
  uint64_t limit_;
  uint64_t start_ = 0;  // the file offset of eback()
  bool cut_ = false;
  char buffer_[4096];
};

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_LIMITED_FILE_H_
