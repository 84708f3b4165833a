// SPDX-License-Identifier: MIT
#include "lif/lif_refusal.h"

#include "reason/reason.h"

namespace tamrik {

std::string describe(const LifRefusal& refusal) {
  const std::string at = std::to_string(refusal.at);
  const std::string of = std::to_string(refusal.of);
  switch (refusal.kind) {
    case RefusalKind::kNone:
      return {};
    case RefusalKind::kNotLif:
      return "not a LIF volume"_reason;
    case RefusalKind::kHeaderCut:
      return fill("the image ends inside the volume header, after {} of its {} bytes"_reason,
                  {at, of});
    case RefusalKind::kDirectoryOutside:
      return fill("the directory starts at sector {}, past the end of the image"_reason, {at});
    case RefusalKind::kDirectoryCut:
      return fill("the image ends inside the directory, in entry {} of {}"_reason, {at, of});
  }
  return {};
}

}  // namespace tamrik
