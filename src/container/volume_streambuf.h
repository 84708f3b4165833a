// SPDX-License-Identifier: MIT
// The LIF volume of a container as a seekable stream of its bytes. Tracks
// are decoded only when a byte is read that they may hold, so listing a
// volume whose header and directory lie on the first track decodes that
// track and stops.
#ifndef TAMRIK_CONTAINER_VOLUME_STREAMBUF_H_
#define TAMRIK_CONTAINER_VOLUME_STREAMBUF_H_

#include <cstdint>
#include <streambuf>
#include <utility>

#include "container/track_record.h"
#include "container/track_store.h"

namespace tamrik::container {

// Reader gives the container's tracks in file order:
//   bool nextTrack(TrackRecord& track);  // false once there are no more
template <typename Reader>
class VolumeStreamBuf : public std::streambuf {
 public:
  explicit VolumeStreamBuf(Reader reader) : reader_(std::move(reader)) {}
  VolumeStreamBuf(const VolumeStreamBuf&) = delete;
  VolumeStreamBuf& operator=(const VolumeStreamBuf&) = delete;
  ~VolumeStreamBuf() override = default;

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const uint64_t offset = start_ + static_cast<uint64_t>(gptr() - eback());
    for (;;) {
      const TrackStore::Span span = store_.find(offset, ended_);
      if (span.found == TrackStore::Found::kData) {
        start_ = offset - static_cast<uint64_t>(span.at - span.begin);
        setg(span.begin, span.at, span.end);
        return traits_type::to_int_type(*gptr());
      }
      if (span.found == TrackStore::Found::kEnd) {
        start_ = offset;
        setg(nullptr, nullptr, nullptr);
        return traits_type::eof();
      }
      ended_ = !reader_.nextTrack(record_) || !store_.place(record_);
    }
  }

  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override {
    // The end is not known without decoding every track, and the reader
    // never asks for it.
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
    } else {
      start_ = at;
      setg(nullptr, nullptr, nullptr);
    }
    return pos;
  }

 private:
  Reader reader_;
  TrackStore store_;
  TrackRecord record_;
  bool ended_ = false;
  uint64_t start_ = 0;  // the volume offset of eback()
};

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_VOLUME_STREAMBUF_H_
