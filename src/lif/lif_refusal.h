// SPDX-License-Identifier: MIT
// Why a file was not read as a LIF volume, kept by the reader beside the
// volume's fields so that whoever shows the refusal can say why. A read
// that failed looks like the end of the image here; the file says why
// (io/image_file.h).
#ifndef TAMRIK_LIF_LIF_REFUSAL_H_
#define TAMRIK_LIF_LIF_REFUSAL_H_

#include <cstdint>
#include <string>

namespace tamrik {

enum class RefusalKind : uint8_t {
  kNone,              // the volume was read
  kNotLif,            // the identifier is not 0x8000
  kHeaderCut,         // the image ends inside the 42 bytes of the header
  kDirectoryOutside,  // not one byte of the directory is in the image
  kDirectoryCut,      // the image ends inside the directory
};

struct LifRefusal {
  RefusalKind kind = RefusalKind::kNone;
  // kHeaderCut: the header bytes there are. kDirectoryOutside: the
  // directory's first sector. kDirectoryCut: the slot (from 1) the image
  // ends in.
  uint64_t at = 0;
  uint64_t of = 0;  // kHeaderCut: 42; kDirectoryCut: the directory's slots
};

// The refusal in plain words, as the command line gives it after
// "tamrik: NAME: " and the page as the image's reason.
std::string describe(const LifRefusal& refusal);

}  // namespace tamrik

#endif  // TAMRIK_LIF_LIF_REFUSAL_H_
