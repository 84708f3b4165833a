// SPDX-License-Identifier: MIT
// The container formats a file may be, in one ordered table: each format
// owns its check of the file's first bytes and its track reader, and is
// registered by one line in container_formats.cpp. A raw LIF volume comes
// first and has no reader: the file is the volume.
#ifndef TAMRIK_CONTAINER_CONTAINER_FORMAT_H_
#define TAMRIK_CONTAINER_CONTAINER_FORMAT_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <streambuf>
#include <string>

#include "container/track_record.h"

namespace tamrik::container {

// How many of a file's first bytes the formats are shown.
inline constexpr std::size_t kHeadBytes = 16;

// A container's tracks in the order its file holds them.
struct TrackSource {
  std::function<TrackOutcome(TrackRecord&)> next;  // empty when the file is refused
  std::string refusal;                             // why, in plain words, when refused
  unsigned sides = 0;  // 1 or 2 when the file's header says; 0 when it does not
};

struct ContainerFormat {
  const char* name;
  // Whether a file that starts with these bytes (fewer than kHeadBytes in a
  // shorter file) is of this format.
  bool (*recognises)(std::span<const unsigned char> head);
  // The tracks of a file of this format, which stands at its start and
  // ends, for the reader, at kMaxContainerBytes. Null for a raw volume.
  TrackSource (*open)(std::unique_ptr<std::streambuf> file);
};

// The first format in the table that recognises the head; null when none
// does, and the file is taken as it is.
const ContainerFormat* formatOf(std::span<const unsigned char> head);

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_CONTAINER_FORMAT_H_
