// SPDX-License-Identifier: MIT
// The file type catalogue: how each 16-bit type code is named, which machine
// family uses it, and how that family keeps a file's size and attributes.
//
//   "41"     counts registers; the register count H is the upper 16 bits of
//            implWord and the attribute bits S, P, A are its bits 11, 8, 9.
//   "71"     keeps a nibble count in the three upper bytes of implWord (least
//            significant first) and S, P in bits 0 and 1 of the type code;
//            its DATA type keeps two little-endian 16-bit counts instead.
//   "75"     and every code outside the table: the size is the entry's
//            length in 256-byte sectors.
#ifndef TAMRIK_LIF_FILE_TYPES_H_
#define TAMRIK_LIF_FILE_TYPES_H_

#include <cstdint>

#include "lif/lif_dir_entry.h"

namespace tamrik {

// Sets typeName, machineTag, the flags, sizeBytes and regCount from
// typeCode, sectorCount and implWord.
void decodeFileType(LifDirEntry& entry);

// The name given to a code outside the table: its signed decimal value,
// left-justified in six characters.
TypeName numericTypeName(int16_t typeCode);

}  // namespace tamrik

#endif  // TAMRIK_LIF_FILE_TYPES_H_
