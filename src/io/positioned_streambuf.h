// SPDX-License-Identifier: MIT
// Buffered, seekable reading over a file that the platform reads at absolute
// offsets. A seek inside the buffer keeps it, so reading the header and then
// a directory close behind it costs one read; a seek past the end is not an
// error, only reading there is.
#ifndef TAMRIK_IO_POSITIONED_STREAMBUF_H_
#define TAMRIK_IO_POSITIONED_STREAMBUF_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "io/offset_streambuf.h"

namespace tamrik::io {

// File is a platform's open file: it closes itself, and provides
//   int64_t readAt(int64_t offset, char* into, std::size_t bytes);  // 0 at end, < 0 on error
//   int64_t size();                  // -1 on error
//   std::string errorText();         // the system's words for the last error
template <typename File>
class PositionedStreamBuf : public OffsetStreamBuf {
 public:
  explicit PositionedStreamBuf(typename File::Handle handle) : file_(handle) {}
  PositionedStreamBuf(const PositionedStreamBuf&) = delete;
  PositionedStreamBuf& operator=(const PositionedStreamBuf&) = delete;
  ~PositionedStreamBuf() override = default;

  // The system's words for the first read that failed; empty while none
  // has. To the reader above, a failed read looks like the end.
  const std::string& readError() const { return readError_; }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    start_ += static_cast<uint64_t>(egptr() - eback());
    const int64_t got = file_.readAt(static_cast<int64_t>(start_), buffer_, sizeof buffer_);
    if (got <= 0) {
      if (got < 0 && readError_.empty()) readError_ = file_.errorText();
      setg(buffer_, buffer_, buffer_);
      return traits_type::eof();
    }
    setg(buffer_, buffer_, buffer_ + got);
    return traits_type::to_int_type(*gptr());
  }

  int64_t endOffset() override {
    const int64_t size = file_.size();
    if (size < 0 && readError_.empty()) readError_ = file_.errorText();
    return size;
  }

  // A record that lies whole in the buffer is copied at once; the rest
  // goes the general way, which refills the buffer.
  std::streamsize xsgetn(char* into, std::streamsize count) override {
    if (count <= egptr() - gptr()) {
      traits_type::copy(into, gptr(), static_cast<std::size_t>(count));
      gbump(static_cast<int>(count));
      return count;
    }
    return std::streambuf::xsgetn(into, count);
  }

 private:
  File file_;
  std::string readError_;
  // Header and a floppy's directory (up to 14 sectors) in one read. Left
  // uninitialised: one is made for every image, and zeroing it cost more
  // than the read.
  char buffer_[4096];
};

}  // namespace tamrik::io

#endif  // TAMRIK_IO_POSITIONED_STREAMBUF_H_
