// SPDX-License-Identifier: MIT
#include "container/volume_streambuf.h"

#include <algorithm>
#include <utility>

#include "reason/reason.h"

namespace tamrik::container {
namespace {

constexpr uint64_t kBlockBytes = 256;

}  // namespace

VolumeStreamBuf::VolumeStreamBuf(TrackSource source, const LimitedFile& file)
    : source_(std::move(source)), file_(file) {
  store_.sides = source_.sides;
}

void VolumeStreamBuf::readTrack() {
  record_.maxData = kMaxContainerBytes - store_.keptBytes;
  TrackOutcome outcome = source_.next(record_);
  if (outcome.kind == TrackOutcome::kTrack) {
    if (store_.place(record_)) return;
    outcome = TrackOutcome::damaged(kTracksOverBound);
  }
  ended_ = true;
  // Records cut at the bound are not damaged; the file is only larger.
  if (file_.cut()) {
    log_.damage = "the file is larger than the 16 MiB read of a container"_reason;
  } else if (outcome.kind == TrackOutcome::kDamaged) {
    log_.damage = std::move(outcome.reason);
  }
}

VolumeStreamBuf::int_type VolumeStreamBuf::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  const uint64_t offset = start_ + static_cast<uint64_t>(gptr() - eback());
  for (;;) {
    const TrackStore::Span span = store_.find(offset, ended_);
    if (span.found == TrackStore::Found::kData) {
      // One block, or one sector where sectors are smaller.
      const uint64_t piece = std::min<uint64_t>(kBlockBytes, store_.sectorSize);
      const uint64_t inTrack = static_cast<uint64_t>(span.at - span.begin);
      char* const begin = span.begin + inTrack / piece * piece;
      char* const end = begin + std::min<uint64_t>(piece, static_cast<uint64_t>(span.end - begin));
      start_ = offset - static_cast<uint64_t>(span.at - begin);
      log_.read(offset / kBlockBytes, store_.stateAt(offset));
      if (span.track != nullptr && !span.track->straysTold) {
        // A track's strays are told once, with the run they lie outside.
        span.track->straysTold = true;
        for (const uint8_t id : span.track->strays) {
          log_.strays.push_back({span.track->cylinder, span.track->head, id});
        }
        log_.firstId = store_.firstId;
        log_.lastId = store_.firstId + store_.idsPerTrack - 1;
      }
      setg(begin, span.at, end);
      return traits_type::to_int_type(*gptr());
    }
    if (span.found == TrackStore::Found::kEnd) {
      log_.endReached = true;
      if (store_.overBound && log_.damage.empty()) log_.damage = kTracksOverBound;
      log_.noSectors = !store_.shapeKnown;
      start_ = offset;
      setg(nullptr, nullptr, nullptr);
      return traits_type::eof();
    }
    readTrack();
  }
}

}  // namespace tamrik::container
