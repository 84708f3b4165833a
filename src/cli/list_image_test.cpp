// SPDX-License-Identifier: MIT
#include "cli/list_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "io/positioned_streambuf.h"
#include "lif/test_image.h"
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
    std::ostringstream err;
    const LineWriter notes{err};
    Diagnostics said(notes);
    listImage(TAMRIK_SOURCE_DIR "/samples/sample.lif", c.sortByName, c.alwaysBytes, LineWriter{out},
              said, true);
    EXPECT_EQ(out.str(), fileText(std::string(TAMRIK_SOURCE_DIR "/tests/golden/") + c.golden));
    EXPECT_EQ(err.str(), "");
    EXPECT_FALSE(said.failed());
  }
}

// A file that is not opened gets no listing; the user is told why when the
// name was the user's, and a pattern's folders pass in silence.
TEST(ListImage, FileNotOpenedIsSaidWithItsReason) {
  const struct {
    const char* name;
    bool named;
    const char* said;  // after "tamrik: NAME: "
    bool failed;
  } cases[] = {
      {TAMRIK_SOURCE_DIR, true, "Is a directory", true},
      {TAMRIK_SOURCE_DIR, false, nullptr, false},
      {TAMRIK_SOURCE_DIR "/no such file", true, "No such file or directory", true},
      {TAMRIK_SOURCE_DIR "/no such file", false, "No such file or directory", true},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    std::ostringstream err;
    const LineWriter notes{err};
    Diagnostics said(notes);
    listImage(c.name, false, false, LineWriter{out}, said, c.named);
    EXPECT_EQ(out.str(), "") << c.name;
    EXPECT_EQ(err.str(), c.said ? std::string("tamrik: ") + c.name + ": " + c.said + "\n" : "")
        << c.name;
    EXPECT_EQ(said.failed(), c.failed) << c.name;
  }
}

// A file whose reads fail from a given offset on, as a failing disk's do.
struct FailingFile {
  using Handle = std::pair<std::string, int64_t>;
  explicit FailingFile(Handle handle) : bytes(std::move(handle.first)), failsAt(handle.second) {}
  int64_t readAt(int64_t offset, char* into, std::size_t count) const {
    if (offset >= failsAt) return -1;
    const auto at = static_cast<std::size_t>(std::min<int64_t>(offset, std::ssize(bytes)));
    const std::size_t got = std::min(count, bytes.size() - at);
    std::copy_n(bytes.data() + at, got, into);
    return static_cast<int64_t>(got);
  }
  int64_t size() const { return std::ssize(bytes); }
  static std::string errorText() { return "Input/output error"; }
  std::string bytes;
  int64_t failsAt;
};

// What is said after an image that opened, and whether the run then counts
// as one that did not do all it was asked.
TEST(ListImage, WhatTheReadingMetIsSaid) {
  test::TestImage sound;
  sound.entries = {test::fileEntry("A", 0x0001, 3, 2), test::fileEntry("B", 0x0001, 4, 2)};
  sound.holdsFiles = true;
  const std::string bytes = sound.bytes();
  // A directory beyond the first read, which takes 4 KiB.
  test::TestImage far = sound;
  far.dirStart = 20;
  far.entries = {test::fileEntry("A", 0x0001, 21, 1)};
  const int64_t never = std::ssize(bytes) + 1;
  const std::string listed = "End of Directory\n";
  const std::string refused = "Unknown or corrupt disk image\n\n";
  const struct {
    const char* what;
    std::string bytes;
    int64_t failsAt;
    const std::string& out;  // how stdout ends
    const char* said;        // after "tamrik: x.lif: "
    bool failed;
  } cases[] = {
      {"read error at the start", bytes, 0, refused, "Input/output error", true},
      {"read error in the directory", far.bytes(), 4096, refused, "Input/output error", true},
      {"not a LIF volume", "plain text", never, refused, nullptr, false},
      {"LIF header cut", bytes.substr(0, 30), never, refused,
       "the image ends inside the volume header, after 30 of its 42 bytes", false},
      {"directory cut", bytes.substr(0, 512 + 40), never, refused,
       "the image ends inside the directory, in entry 2 of 8", false},
      {"shared sector", bytes, never, listed, "files \"A\" and \"B\" share sector 4", false},
  };
  for (const auto& c : cases) {
    io::ImageFile file;
    auto stream = std::make_unique<io::PositionedStreamBuf<FailingFile>>(
        FailingFile::Handle{c.bytes, c.failsAt});
    file.readError = &stream->readError();
    file.stream = std::move(stream);
    std::ostringstream out;
    std::ostringstream err;
    const LineWriter notes{err};
    Diagnostics said(notes);
    listImageFile(file, "x.lif", false, false, LineWriter{out}, said, true);
    EXPECT_TRUE(out.str().ends_with(c.out)) << c.what << "\n" << out.str();
    EXPECT_EQ(err.str(), c.said ? std::string("tamrik: x.lif: ") + c.said + "\n" : "") << c.what;
    EXPECT_EQ(said.failed(), c.failed) << c.what;
  }
}

}  // namespace
}  // namespace tamrik
