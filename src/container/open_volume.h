// SPDX-License-Identifier: MIT
// The layer between the platform's files and the LIF reader: a file is
// taken for what its content says it is. A raw image, and anything that is
// no container, is handed back as it came, for the cost of a look at its
// first byte; a Teledisk (normal or advanced form) or ImageDisk file becomes
// the LIF volume inside it (track_store.h), decoded as it is read.
#ifndef TAMRIK_CONTAINER_OPEN_VOLUME_H_
#define TAMRIK_CONTAINER_OPEN_VOLUME_H_

#include <memory>
#include <streambuf>

namespace tamrik::container {

// `file` is seekable and stands at its start; nothing gives nothing.
std::unique_ptr<std::streambuf> openVolume(std::unique_ptr<std::streambuf> file);

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_OPEN_VOLUME_H_
