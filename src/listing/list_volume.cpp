// SPDX-License-Identifier: MIT
#include "listing/list_volume.h"

#include <string>

#include "lif/lif_volume.h"
#include "listing/directory_table.h"
#include "listing/volume_summary.h"

namespace tamrik {

void printHeading(std::string_view prefix, std::string_view name, const LineWriter& writer) {
  // Kept from one heading to the next, so that a run over many images
  // takes no memory for each.
  thread_local std::string heading;
  heading.assign("Content of ");
  heading += prefix;
  writer.appendShown(heading, name);
  writer.line(heading);
  writer.line("");
}

void listVolume(std::istream& image, bool sortByName, bool alwaysBytes, const LineWriter& writer) {
  LifVolume volume(image);
  listVolume(volume, sortByName, alwaysBytes, writer);
}

bool listVolume(LifVolume& volume, bool sortByName, bool alwaysBytes, const LineWriter& writer) {
  if (volume.readDirectory()) {
    printVolumeSummary(volume, writer);
    printDirectoryTable(volume, sortByName, alwaysBytes, writer);
    return true;
  }
  writer.line(kRefusal);
  writer.line("");
  return false;
}

}  // namespace tamrik
