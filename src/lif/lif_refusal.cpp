// SPDX-License-Identifier: MIT
#include "lif/lif_refusal.h"

namespace tamrik {

std::string describe(const LifRefusal& refusal) {
  const auto number = [](uint64_t value) { return std::to_string(value); };
  switch (refusal.kind) {
    case RefusalKind::kNone:
      return {};
    case RefusalKind::kNotLif:
      return "not a LIF volume";
    case RefusalKind::kHeaderCut:
      return "the image ends inside the volume header, after " + number(refusal.at) + " of its " +
             number(refusal.of) + " bytes";
    case RefusalKind::kDirectoryOutside:
      return "the directory starts at sector " + number(refusal.at) +
             ", past the end of the image";
    case RefusalKind::kDirectoryCut:
      return "the image ends inside the directory, in entry " + number(refusal.at) + " of " +
             number(refusal.of);
  }
  return {};
}

}  // namespace tamrik
