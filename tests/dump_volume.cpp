// SPDX-License-Identifier: MIT
// Writes the volume that a file holds, raw or inside a container, to
// standard output, as the lister reads it: .ci/containers.sh compares it
// with what an independent reader of the containers makes of the file.
//   dump_volume FILE > VOLUME
#include <cstdio>
#include <istream>
#include <iterator>
#include <memory>
#include <string>

#include "container/open_volume.h"
#include "io/image_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dump_volume FILE\n");
    return 1;
  }
  const tamrik::container::OpenedVolume volume =
      tamrik::container::openVolume(tamrik::io::openImageFile(argv[1]).stream);
  if (!volume.stream) {
    std::fprintf(stderr, "dump_volume: cannot open %s\n", argv[1]);
    return 1;
  }
  std::istream in(volume.stream.get());
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() ? 0 : 1;
}
