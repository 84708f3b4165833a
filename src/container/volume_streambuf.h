// SPDX-License-Identifier: MIT
// The LIF volume of a container as a seekable stream of its bytes. Tracks
// are decoded only when a byte is read that they may hold, so listing a
// volume whose header and directory lie on the first tracks decodes those
// and stops. The bytes are handed out a block (or a smaller sector) at a
// time, so that each block read is noted in the log with its sector's
// state.
#ifndef TAMRIK_CONTAINER_VOLUME_STREAMBUF_H_
#define TAMRIK_CONTAINER_VOLUME_STREAMBUF_H_

#include <cstdint>
#include <streambuf>

#include "container/container_format.h"
#include "container/limited_file.h"
#include "container/read_log.h"
#include "container/track_record.h"
#include "container/track_store.h"
#include "io/offset_streambuf.h"

namespace tamrik::container {

class VolumeStreamBuf : public io::OffsetStreamBuf {
 public:
  // `file` is what `source` reads, for telling its bound from its end.
  VolumeStreamBuf(TrackSource source, const LimitedFile& file);
  VolumeStreamBuf(const VolumeStreamBuf&) = delete;
  VolumeStreamBuf& operator=(const VolumeStreamBuf&) = delete;
  ~VolumeStreamBuf() override = default;

  const ReadLog& log() const { return log_; }

 protected:
  int_type underflow() override;

 private:
  void readTrack();

  TrackSource source_;
  const LimitedFile& file_;
  TrackStore store_;
  TrackRecord record_;
  ReadLog log_;
  bool ended_ = false;
};

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_VOLUME_STREAMBUF_H_
