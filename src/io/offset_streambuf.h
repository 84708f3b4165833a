// SPDX-License-Identifier: MIT
// The seeks of a read-only stream buffer whose get area holds bytes from a
// known offset. A seek within those bytes, or to their end, keeps them, so
// reading a header and then a directory close behind it costs no new read;
// any other seek goes to seekOutside and empties the get area. A seek from
// the end is answered where the stream knows its size (endOffset).
#ifndef TAMRIK_IO_OFFSET_STREAMBUF_H_
#define TAMRIK_IO_OFFSET_STREAMBUF_H_

#include <cstdint>
#include <ios>
#include <streambuf>

namespace tamrik::io {

class OffsetStreamBuf : public std::streambuf {
 protected:
  // What a seek outside the get area does below it; false refuses the seek.
  virtual bool seekOutside(uint64_t /*at*/) { return true; }
  // The size of what the stream holds; -1 where it cannot tell.
  virtual int64_t endOffset() { return -1; }

  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) final {
    if (dir == std::ios_base::end) {
      const int64_t size = endOffset();
      if (size < 0) return pos_type(off_type(-1));
      off += size;
    }
    if (dir == std::ios_base::cur) off += static_cast<off_type>(start_) + (gptr() - eback());
    return seekpos(pos_type(off), which);
  }

  pos_type seekpos(pos_type pos, std::ios_base::openmode which) final {
    const off_type target = pos;
    if ((which & std::ios_base::in) != std::ios_base::in || target < 0) {
      return pos_type(off_type(-1));
    }
    const auto at = static_cast<uint64_t>(target);
    if (at >= start_ && at - start_ <= static_cast<uint64_t>(egptr() - eback())) {
      setg(eback(), eback() + (at - start_), egptr());
      return pos;
    }
    if (!seekOutside(at)) return pos_type(off_type(-1));
    start_ = at;
    setg(nullptr, nullptr, nullptr);
    return pos;
  }

  // The offset of eback(); the get area's bytes follow it.
  uint64_t start_ = 0;
};

}  // namespace tamrik::io

#endif  // TAMRIK_IO_OFFSET_STREAMBUF_H_
