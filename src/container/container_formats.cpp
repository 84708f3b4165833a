// SPDX-License-Identifier: MIT
#include "container/container_format.h"
#include "container/hfe.h"
#include "container/imagedisk.h"
#include "container/teledisk.h"

namespace tamrik::container {
namespace {

// A LIF volume's first word is 0x8000: its first byte decides.
bool recognisesLif(std::span<const unsigned char> head) {
  return !head.empty() && head[0] == 0x80;
}

constexpr ContainerFormat kFormats[] = {
    {"LIF", recognisesLif, nullptr},
    {"Teledisk", recognisesTeledisk, openTeledisk},
    {"ImageDisk", recognisesImageDisk, openImageDisk},
    {"HFE", recognisesHfe, openHfe},
};

}  // namespace

const ContainerFormat* formatOf(std::span<const unsigned char> head) {
  for (const ContainerFormat& format : kFormats) {
    if (format.recognises(head)) return &format;
  }
  return nullptr;
}

}  // namespace tamrik::container
