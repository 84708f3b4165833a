// SPDX-License-Identifier: MIT
// The layer between the platform's files and the LIF reader: a file is
// taken for what its content says it is, by the table of formats
// (container_format.h). A raw image, and anything that is no container, is
// handed back as it came, for the cost of a look at its first bytes; a
// container becomes the LIF volume inside it (track_store.h), decoded as it
// is read, and says afterwards what the reading met.
#ifndef TAMRIK_CONTAINER_OPEN_VOLUME_H_
#define TAMRIK_CONTAINER_OPEN_VOLUME_H_

#include <memory>
#include <streambuf>
#include <string>

#include "container/volume_streambuf.h"

namespace tamrik::container {

struct OpenedVolume {
  std::unique_ptr<std::streambuf> stream;      // the volume's bytes; null when there was no file
  const VolumeStreamBuf* container = nullptr;  // the same stream, when it is a container's
  std::string refusal;  // why a container was refused; its stream is then empty

  // What the reads so far met that a listing's reader should be told, in
  // plain words: empty for a raw image and a sound container.
  std::string note() const;
};

// `file` is seekable and stands at its start.
OpenedVolume openVolume(std::unique_ptr<std::streambuf> file);

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_OPEN_VOLUME_H_
