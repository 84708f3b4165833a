// SPDX-License-Identifier: MIT
#include "cli/list_image.h"

#include <istream>
#include <memory>

#include "container/open_volume.h"
#include "io/image_file.h"
#include "listing/list_volume.h"

namespace tamrik {

void listImage(const std::string& fileName, bool sortByName, bool alwaysBytes,
               const LineWriter& writer, io::KnownType known) {
  const std::unique_ptr<std::streambuf> file =
      container::openVolume(io::openImageFile(fileName, known));
  if (!file) return;
  std::istream image(file.get());
  listVolume(image, sortByName, alwaysBytes, writer);
}

}  // namespace tamrik
