// SPDX-License-Identifier: MIT
#ifndef TAMRIK_LISTING_DIRECTORY_TABLE_H_
#define TAMRIK_LISTING_DIRECTORY_TABLE_H_

#include <vector>

#include "lif/lif_volume.h"
#include "listing/line_writer.h"

namespace tamrik {

inline constexpr char kTableHeader[] =
    " No.    Name      Type          S        Size      Start  Recs    Date     Time";

// The column header, one row per entry with a non-zero size, and
// "End of Directory". With sortByName the rows come in name order, equal
// names in directory order; the entries themselves stay in directory order.
// Register-counting types show registers unless alwaysBytes.
void printDirectoryTable(const LifVolume& volume, bool sortByName, bool alwaysBytes,
                         const LineWriter& writer);

// The entries that the table shows, in its order, for a caller that shows
// them otherwise.
std::vector<const LifDirEntry*> tableRows(const LifVolume& volume, bool sortByName);

}  // namespace tamrik

#endif  // TAMRIK_LISTING_DIRECTORY_TABLE_H_
