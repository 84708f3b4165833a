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
  // One stream for the run, pointed at each image in turn: making one sets
  // up its locale, which cost as much as a tenth of a floppy's listing.
  static std::istream image(nullptr);
  image.rdbuf(volume.stream.get());  // and a good state
  // Not left pointing at a closed image, whatever ends the listing.
  struct Release {
    Release(const Release&) = delete;
    Release& operator=(const Release&) = delete;
    Release() = default;
    ~Release() { image.rdbuf(nullptr); }
  } release;
  listVolume(image, sortByName, alwaysBytes, writer);
  return volume.note();
}

}  // namespace tamrik
