// SPDX-License-Identifier: MIT
#include "cli/list_image.h"

#include <istream>
#include <memory>

#include "container/open_volume.h"
#include "io/image_file.h"
#include "lif/lif_volume.h"
#include "lif/volume_faults.h"
#include "listing/list_volume.h"

namespace tamrik {

void listImage(const std::string& fileName, bool sortByName, bool alwaysBytes,
               const LineWriter& writer, Diagnostics& said, bool named, io::KnownType known) {
  io::ImageFile file = io::openImageFile(fileName, known);
  listImageFile(file, fileName, sortByName, alwaysBytes, writer, said, named);
}

void listImageFile(io::ImageFile& file, const std::string& fileName, bool sortByName,
                   bool alwaysBytes, const LineWriter& writer, Diagnostics& said, bool named) {
  if (!file.stream) {
    if (named || !file.notAFile) said.failure({fileName}, file.error);
    return;
  }
  const std::string* readError = file.readError;
  const container::OpenedVolume opened = container::openVolume(std::move(file.stream));
  // One stream for the run, pointed at each image in turn: making one sets
  // up its locale, which cost as much as a tenth of a floppy's listing.
  static std::istream image(nullptr);
  image.rdbuf(opened.stream.get());  // and a good state
  // Not left pointing at a closed image, whatever ends the listing.
  struct Release {
    Release(const Release&) = delete;
    Release& operator=(const Release&) = delete;
    Release() = default;
    ~Release() { image.rdbuf(nullptr); }
  } release;
  LifVolume volume(image);
  const bool listed = listVolume(volume, sortByName, alwaysBytes, writer);
  const std::string faults = listed ? volumeFaults(volume, *opened.stream) : std::string();
  // The image's lines go out together, and before anything said of it.
  writer.flush();

  if (readError != nullptr && !readError->empty()) {
    said.failure({fileName}, *readError);
    return;
  }
  const std::string note = opened.note();
  if (!note.empty()) {
    said.note({fileName}, note);
  } else if (!listed && (volume.lifId == kLifId || opened.container != nullptr)) {
    said.note({fileName}, describe(volume.refusal));
  }
  if (!faults.empty()) said.note({fileName}, faults);
}

}  // namespace tamrik
