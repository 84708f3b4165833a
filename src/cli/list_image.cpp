// SPDX-License-Identifier: MIT
#include "cli/list_image.h"

#include <istream>
#include <memory>

#include "container/open_volume.h"
#include "io/image_file.h"
#include "listing/list_volume.h"

namespace tamrik {

std::string listImage(const std::string& fileName, bool sortByName, bool alwaysBytes,
                      const LineWriter& writer, io::KnownType known) {
  const container::OpenedVolume volume = container::openVolume(io::openImageFile(fileName, known));
  if (!volume.stream) return {};
  std::istream image(volume.stream.get());
  listVolume(image, sortByName, alwaysBytes, writer);
  return volume.note();
}

}  // namespace tamrik
