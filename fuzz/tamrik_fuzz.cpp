// SPDX-License-Identifier: MIT
// Fuzz target: any bytes as an image, raw or in a container, listed in
// memory with every option combination, and its directory checked for
// faults. Besides crashes and sanitizer reports it aborts when a listing is
// neither complete nor the refusal, a refusal has no reason, when
// sorting changes the amount of output, or when what a listing lacked is
// not one line of text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <istream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "container/open_volume.h"
#include "lif/lif_volume.h"
#include "lif/test_image.h"
#include "lif/volume_faults.h"
#include "listing/list_volume.h"

namespace {

constexpr std::string_view kRefusalText = "Unknown or corrupt disk image\n\n";
constexpr std::string_view kEnd = "End of Directory\n";

std::string listed(const std::string& bytes, bool sortByName, bool alwaysBytes) {
  const tamrik::container::OpenedVolume volume =
      tamrik::container::openVolume(std::make_unique<tamrik::test::ImageBuf>(bytes));
  std::istream image(volume.stream.get());
  std::ostringstream out;
  // Masking follows the sort flag so that both output paths are exercised.
  tamrik::LifVolume lif(image);
  const bool listed =
      tamrik::listVolume(lif, sortByName, alwaysBytes, tamrik::LineWriter{out, sortByName});
  // The directory's own faults are found for a volume that listed, and
  // only for one.
  if (listed) {
    tamrik::volumeFaults(lif, *volume.stream);
  } else if (lif.refusal.kind == tamrik::RefusalKind::kNone) {
    std::abort();
  }
  // What the listing lacked goes on one line of plain text.
  for (const char c : volume.note()) {
    if (static_cast<unsigned char>(c) < 0x20) std::abort();
  }
  return std::move(out).str();
}

bool wellFormed(std::string_view out) {
  if (out == kRefusalText) return true;
  return out.size() >= kEnd.size() && out.substr(out.size() - kEnd.size()) == kEnd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const bool alwaysBytes : {false, true}) {
    const std::string plain = listed(bytes, false, alwaysBytes);
    const std::string sorted = listed(bytes, true, alwaysBytes);
    if (!wellFormed(plain) || !wellFormed(sorted) || plain.size() != sorted.size()) std::abort();
  }
  return 0;
}
