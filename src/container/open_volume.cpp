// SPDX-License-Identifier: MIT
#include "container/open_volume.h"

#include <cstring>

#include "container/imagedisk.h"
#include "container/teledisk.h"
#include "container/volume_streambuf.h"

namespace tamrik::container {

std::unique_ptr<std::streambuf> openVolume(std::unique_ptr<std::streambuf> file) {
  if (!file) return file;
  // A LIF volume starts with 0x80: one byte decides for every raw image.
  const std::streambuf::int_type first = file->sgetc();
  if (first != 'T' && first != 't' && first != 'I') return file;

  unsigned char header[kTelediskHeaderBytes] = {};
  const bool whole = readExactly(*file, header, sizeof header);
  if (whole && isTeledisk(header)) {
    return std::make_unique<VolumeStreamBuf<TelediskReader>>(
        TelediskReader(std::move(file), header));
  }
  if (std::memcmp(header, "IMD ", 4) == 0 && file->pubseekpos(4) == 4 && skipImageDiskText(*file)) {
    return std::make_unique<VolumeStreamBuf<ImageDiskReader>>(ImageDiskReader{std::move(file)});
  }
  file->pubseekpos(0);
  return file;
}

}  // namespace tamrik::container
