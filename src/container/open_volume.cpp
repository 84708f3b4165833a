// SPDX-License-Identifier: MIT
#include "container/open_volume.h"

#include <utility>

#include "container/container_format.h"
#include "container/limited_file.h"
#include "container/read_log.h"

namespace tamrik::container {
namespace {

// The stream of a refused container: it holds nothing.
struct NothingBuf : std::streambuf {};

}  // namespace

std::string OpenedVolume::note() const {
  if (!refusal.empty()) return refusal;
  return container != nullptr ? describe(container->log()) : std::string();
}

OpenedVolume openVolume(std::unique_ptr<std::streambuf> file) {
  OpenedVolume opened;
  if (!file) return opened;
  // A raw volume's first byte is in the buffer after this one look, which
  // its reader needs anyway.
  const std::streambuf::int_type first = file->sgetc();
  unsigned char head[kHeadBytes] = {};
  std::size_t size = 0;
  if (first != std::streambuf::traits_type::eof()) {
    head[0] = static_cast<unsigned char>(first);
    size = 1;
    if (head[0] != 0x80) {
      size = static_cast<std::size_t>(file->sgetn(reinterpret_cast<char*>(head), kHeadBytes));
      file->pubseekpos(0);
    }
  }
  const ContainerFormat* format = formatOf({head, size});
  if (format == nullptr || format->open == nullptr) {
    opened.stream = std::move(file);
    return opened;
  }
  auto limited = std::make_unique<LimitedFile>(std::move(file), kMaxContainerBytes);
  const LimitedFile& bounded = *limited;
  TrackSource source = format->open(std::move(limited));
  if (!source.next) {
    opened.refusal = std::move(source.refusal);
    opened.stream = std::make_unique<NothingBuf>();
    return opened;
  }
  auto volume = std::make_unique<VolumeStreamBuf>(std::move(source), bounded);
  opened.container = volume.get();
  opened.stream = std::move(volume);
  return opened;
}

}  // namespace tamrik::container
