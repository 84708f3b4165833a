// SPDX-License-Identifier: MIT
#include "cli/list_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "lif/test_sample.h"

namespace tamrik {
namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.is_open()) << path;
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ListImage, CommittedSampleMatchesItsGenerator) {
  EXPECT_EQ(fileText(TAMRIK_SOURCE_DIR "/samples/sample.lif"), test::sampleVolumeBytes());
}

TEST(ListImage, SampleListingsMatchTheirGoldenFiles) {
  const struct {
    bool sortByName;
    bool alwaysBytes;
    const char* golden;
  } cases[] = {
      {false, false, "sample.txt"},
      {true, true, "sample_sorted_bytes.txt"},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    listImage(TAMRIK_SOURCE_DIR "/samples/sample.lif", c.sortByName, c.alwaysBytes,
              LineWriter{out});
    EXPECT_EQ(out.str(), fileText(std::string(TAMRIK_SOURCE_DIR "/tests/golden/") + c.golden));
  }
}

TEST(ListImage, FolderOrMissingFileGivesNoOutput) {
  for (const char* name : {TAMRIK_SOURCE_DIR, TAMRIK_SOURCE_DIR "/no such file"}) {
    std::ostringstream out;
    listImage(name, false, false, LineWriter{out});
    EXPECT_EQ(out.str(), "") << name;
  }
}

}  // namespace
}  // namespace tamrik
