// SPDX-License-Identifier: MIT
#include "lif/lif_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "lif/test_image.h"
#include "lif/volume_faults.h"

namespace tamrik {
namespace {

using test::lifName;
using test::TestEntry;
using test::TestImage;

using test::fileEntry;

// Reads the volume held in bytes; the stream outlives the record.
struct Reading {
  test::ImageStream in;
  LifVolume volume{in};
  bool ok;
  explicit Reading(const std::string& bytes) : in(bytes), ok(volume.readDirectory()) {}
};

// Serves an image a chunk at a time, as a file is read, and keeps the end
// of the furthest chunk it was asked for.
class ChunkedBuf : public std::streambuf {
 public:
  ChunkedBuf(std::string bytes, std::size_t chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
  std::size_t furthest = 0;

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (next_ >= bytes_.size()) return traits_type::eof();
    const std::size_t end = std::min(next_ + chunk_, bytes_.size());
    setg(bytes_.data() + next_, bytes_.data() + next_, bytes_.data() + end);
    next_ = end;
    furthest = std::max(furthest, end);
    return traits_type::to_int_type(*gptr());
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override {
    if (dir != std::ios_base::beg) return pos_type(off_type(-1));
    return seekpos(pos_type(off), which);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
    next_ = static_cast<std::size_t>(off_type(pos));
    setg(nullptr, nullptr, nullptr);
    return pos;
  }

 private:
  std::string bytes_;
  std::size_t chunk_;
  std::size_t next_ = 0;
};

TEST(ReadHeader, FillsEveryField) {
  TestImage image;
  image.label = "UTILS1";
  image.dirStart = 2;
  image.auxWord = 0x1234;
  image.dirLength = 3;
  image.version = 1;
  image.tracks = 35;
  image.surfaces = 1;
  image.sectorsPerTrack = 9;
  std::istringstream in(image.bytes());
  LifVolume volume(in);
  ASSERT_TRUE(volume.readHeader());
  EXPECT_EQ(volume.lifId, 0x8000);
  EXPECT_EQ(volume.label, "UTILS1");
  EXPECT_EQ(volume.dirStart, 2U);
  EXPECT_EQ(volume.auxWord, 0x1234);
  EXPECT_EQ(volume.dirLength, 3U);
  EXPECT_EQ(volume.version, 1);
  EXPECT_EQ(volume.tracks, 35U);
  EXPECT_EQ(volume.surfaces, 1U);
  EXPECT_EQ(volume.sectorsPerTrack, 9U);
  EXPECT_EQ(volume.initStamp, "24/03/15 10:42:07");
  EXPECT_EQ(in.tellg(), 42);
}

TEST(ReadHeader, GeometryDefaultOnlyWhenAllFourAreZero) {
  const struct {
    uint16_t version;
    uint32_t tracks, surfaces, sectors;
    uint16_t wantVersion;
    uint32_t wantTracks, wantSurfaces, wantSectors;
  } cases[] = {
      {0, 0, 0, 0, 1, 77, 2, 16},
      {1, 0, 0, 0, 1, 0, 0, 0},
      {0, 35, 0, 0, 0, 35, 0, 0},
      {0, 0, 0, 9, 0, 0, 0, 9},
  };
  for (const auto& c : cases) {
    TestImage image;
    image.version = c.version;
    image.tracks = c.tracks;
    image.surfaces = c.surfaces;
    image.sectorsPerTrack = c.sectors;
    std::istringstream in(image.bytes());
    LifVolume volume(in);
    ASSERT_TRUE(volume.readHeader());
    EXPECT_EQ(volume.version, c.wantVersion);
    EXPECT_EQ(volume.tracks, c.wantTracks);
    EXPECT_EQ(volume.surfaces, c.wantSurfaces);
    EXPECT_EQ(volume.sectorsPerTrack, c.wantSectors);
  }
}

TEST(ReadHeader, LabelKeepsNulsAndBlanks) {
  TestImage image;
  image.label = std::string("AB\0\0\0\0", 6);
  Reading nuls(image.bytes());
  EXPECT_EQ(nuls.volume.label, image.label);
  image.label = "AB    ";
  Reading blanks(image.bytes());
  EXPECT_EQ(blanks.volume.label, "AB    ");
}

TEST(ReadHeader, WrongIdentifierChangesNothingElse) {
  TestImage image;
  image.lifId = 0x8001;
  std::istringstream in(image.bytes());
  LifVolume volume(in);
  EXPECT_FALSE(volume.readHeader());
  EXPECT_EQ(volume.lifId, 0x8001);
  EXPECT_EQ(volume.label, "");
  EXPECT_EQ(volume.dirLength, 0U);
}

TEST(ReadHeader, ShortImages) {
  const std::string header = TestImage{}.bytes().substr(0, 42);
  const struct {
    std::string bytes;
    bool ok;
    uint16_t lifId;
    const char* refusal;
  } cases[] = {
      {"", false, 0x00FF, "not a LIF volume"},
      {"\x80", false, 0x80FF, "not a LIF volume"},
      {header.substr(0, 2), false, 0x8000,
       "the image ends inside the volume header, after 2 of its 42 bytes"},
      {header.substr(0, 41), false, 0x8000,
       "the image ends inside the volume header, after 41 of its 42 bytes"},
      {header, true, 0x8000, ""},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.bytes);
    LifVolume volume(in);
    EXPECT_EQ(volume.readHeader(), c.ok) << c.bytes.size();
    EXPECT_EQ(volume.lifId, c.lifId) << c.bytes.size();
    EXPECT_EQ(describe(volume.refusal), c.refusal) << c.bytes.size();
  }
}

TEST(ReadDirectory, ReadsUntilTheEndMarker) {
  TestImage image;
  image.entries = {fileEntry("ONE", 0x0001, 4, 1), fileEntry("TWO", 0xE020, 5, 2)};
  image.entries.push_back(image.entries[0]);
  image.entries.back().typeCode = 0xFFFF;
  image.entries.push_back(fileEntry("HIDDEN", 0x0001, 9, 1));
  Reading r(image.bytes());
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.volume.entries.size(), 2U);
  EXPECT_EQ(r.volume.entries[0].name, lifName("ONE"));
  EXPECT_EQ(r.volume.entries[1].name, lifName("TWO"));
}

TEST(ReadDirectory, EmptyDirectories) {
  TestImage endFirst;
  TestImage noLength;
  noLength.dirLength = 0;
  TestImage pastEndNoLength;
  pastEndNoLength.dirLength = 0;
  pastEndNoLength.dirStart = 1000;
  for (const TestImage& image : {endFirst, noLength}) {
    Reading r(image.bytes());
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.volume.entries.empty());
  }
  Reading r(pastEndNoLength.bytes().substr(0, 256));
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.volume.entries.empty());
}

TEST(ReadDirectory, FullDirectoryWithoutEndMarker) {
  TestImage image;
  image.dirLength = 2;
  for (uint32_t i = 0; i < 16; ++i) image.entries.push_back(fileEntry("F", 0x0001, 10 + i, 1));
  Reading r(image.bytes());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.volume.entries.size(), 16U);
}

TEST(ReadDirectory, PurgedEntriesAreNotKept) {
  TestImage image;
  image.entries = {fileEntry("A", 0x0001, 4, 1), fileEntry("GONE", 0x0000, 5, 1),
                   fileEntry("B", 0x0001, 6, 1)};
  Reading r(image.bytes());
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.volume.entries.size(), 2U);
  EXPECT_EQ(r.volume.entries[1].name, lifName("B"));
}

TEST(ReadDirectory, RefusedEntryEndsTheScan) {
  TestImage image;
  image.entries = {fileEntry("A", 0x0001, 4, 1), fileEntry("B", 0xE052, 5, 1),
                   fileEntry("BAD75", 0xE052, 6, 1), fileEntry("AFTER", 0x0001, 7, 1)};
  image.entries[2].volumeWord = 0x0001;
  Reading r(image.bytes());
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.volume.entries.size(), 2U);
  EXPECT_EQ(r.volume.entries[1].name, lifName("B"));
}

TEST(ReadDirectory, ImageCutInsideTheDirectoryFails) {
  TestImage image;
  for (uint32_t i = 0; i < 6; ++i) image.entries.push_back(fileEntry("F", 0x0001, 4 + i, 1));
  const std::string bytes = image.bytes();
  const struct {
    std::size_t size;
    const char* refusal;
  } cases[] = {
      {512 + 4 * 32 + 16, "the image ends inside the directory, in entry 5 of 8"},
      {512 + 6 * 32 + 11, "the image ends inside the directory, in entry 7 of 8"},
      {512 + 1, "the image ends inside the directory, in entry 1 of 8"},
      {512, "the directory starts at sector 2, past the end of the image"},
      {300, "the directory starts at sector 2, past the end of the image"},
  };
  for (const auto& c : cases) {
    Reading r(bytes.substr(0, c.size));
    EXPECT_FALSE(r.ok) << c.size;
    EXPECT_EQ(describe(r.volume.refusal), c.refusal) << c.size;
  }
  // The end marker needs only the bytes up to its type.
  Reading whole(bytes.substr(0, 512 + 6 * 32 + 12));
  EXPECT_TRUE(whole.ok);
  EXPECT_EQ(describe(whole.volume.refusal), "");
}

TEST(ReadDirectory, HugeHeaderValuesDoNotWrap) {
  const struct {
    uint32_t dirStart;
    uint32_t dirLength;
    const char* refusal;
  } cases[] = {
      // slot count past 32 bits
      {2, (1U << 29) - 1, "the image ends inside the directory, in entry 9 of 4294967288"},
      // byte offset past 2^32
      {1U << 24, 1, "the directory starts at sector 16777216, past the end of the image"},
      // byte offset past 2^31
      {0x00800000, 1, "the directory starts at sector 8388608, past the end of the image"},
      {0xFFFFFFFF, 0xFFFFFFFF,
       "the directory starts at sector 4294967295, past the end of the image"},
  };
  for (const auto& c : cases) {
    TestImage image;
    image.endMarker = false;
    std::string bytes = image.bytes();
    test::putBE32(bytes, 8, c.dirStart);
    test::putBE32(bytes, 16, c.dirLength);
    Reading r(bytes);
    EXPECT_FALSE(r.ok) << c.dirStart << " " << c.dirLength;
    EXPECT_EQ(describe(r.volume.refusal), c.refusal) << c.dirStart << " " << c.dirLength;
  }
}

TEST(ReadDirectory, DirectoryNotRightAfterTheHeader) {
  TestImage image;
  image.dirStart = 5;
  image.entries = {fileEntry("FAR", 0x0001, 10, 1)};
  std::string bytes = image.bytes();
  // Sector 2 holds an end marker that must not be read.
  test::putBE16(bytes, 512 + 10, 0xFFFF);
  Reading r(bytes);
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.volume.entries.size(), 1U);
}

TEST(ReadDirectory, ReadsNoFurtherThanTheEndMarker) {
  // A header that claims a long directory whose end marker comes early: the
  // scan reads the file no further than the marker's type code.
  TestImage image;
  image.dirLength = 250;
  image.entries = {fileEntry("A", 0x0001, 260, 1), fileEntry("B", 0x0001, 261, 1),
                   fileEntry("C", 0x0001, 262, 1)};
  // Chunks are read from the directory's start on, after the seek to it.
  const std::size_t directory = 512;
  const std::size_t needed = 3 * 32 + 12;
  for (const std::size_t chunk : {std::size_t{64}, std::size_t{256}, std::size_t{4096}}) {
    ChunkedBuf buf(image.bytes(), chunk);
    std::istream in(&buf);
    LifVolume volume(in);
    ASSERT_TRUE(volume.readDirectory()) << chunk;
    EXPECT_EQ(volume.entries.size(), 3U) << chunk;
    EXPECT_LE(buf.furthest, directory + (needed + chunk - 1) / chunk * chunk) << chunk;
  }
}

TEST(ReadDirectory, EveryCutOfAValidImageIsRefusedOrComplete) {
  TestImage image;
  image.entries = {fileEntry("A", 0x0001, 4, 1), fileEntry("B", 0xE020, 5, 1),
                   fileEntry("C", 0xE052, 6, 1)};
  const std::string bytes = image.bytes();
  // The end marker's type word ends at this offset; the rest is never read.
  const std::size_t needed = 512 + 3 * 32 + 12;
  for (std::size_t length = 0; length <= bytes.size(); ++length) {
    Reading r(bytes.substr(0, length));
    EXPECT_EQ(r.ok, length >= needed) << length;
    if (r.ok) {
      EXPECT_EQ(r.volume.entries.size(), 3U);
    }
  }
}

// What a directory that reads shows to be impossible, over an image of a
// given size; the words name the first case of each kind.
TEST(VolumeFaults, SaysWhatTheDirectoryMakesImpossible) {
  const struct {
    const char* what;
    std::vector<TestEntry> entries;
    std::size_t imageBytes;
    const char* faults;
  } cases[] = {
      {"sound", {fileEntry("A", 0x0001, 4, 2), fileEntry("B", 0x0001, 6, 4)}, 10 * 256, ""},
      {"no sectors clash with nothing",
       {fileEntry("A", 0x0001, 4, 2), fileEntry("EMPTY", 0x0001, 5, 0),
        fileEntry("ZERO", 0x0001, 0, 0)},
       6 * 256,
       ""},
      {"shared",
       {fileEntry("A", 0x0001, 4, 2), fileEntry("B", 0x0001, 5, 2)},
       7 * 256,
       "files \"A\" and \"B\" share sector 5"},
      {"shared in directory order or not",
       {fileEntry("LATE", 0x0001, 8, 3), fileEntry("LONG", 0x0001, 4, 6),
        fileEntry("INSIDE", 0x0001, 5, 1), fileEntry("FREE", 0x0001, 11, 1)},
       12 * 256,
       "files \"LONG\" and \"INSIDE\" share sector 5, and 1 more pair of files does"},
      {"in the directory",
       {fileEntry("DIR", 0x0001, 2, 2), fileEntry("A", 0x0001, 4, 1)},
       5 * 256,
       "file \"DIR\" (sectors 2 to 3) lies in the volume's directory (sector 2)"},
      {"in the header",
       {fileEntry("HEAD", 0x0001, 0, 1), fileEntry("DIR", 0x0001, 2, 1)},
       5 * 256,
       "file \"HEAD\" (sector 0) lies in the volume's header, and 1 more file does"},
      {"past the end",
       {fileEntry("A", 0x0001, 4, 2), fileEntry("CUT", 0x0001, 8, 4)},
       10 * 256 + 100,
       "file \"CUT\" (sectors 8 to 11) passes the end of the image, which holds 10 sectors: 2 "
       "sectors are missing"},
      {"wholly past the end, and sectors past 2^32",
       {fileEntry("FAR", 0x0001, 20, 1), fileEntry("WRAP", 0x0001, 0xFFFFFFFF, 2)},
       5 * 256,
       "file \"FAR\" (sector 20) passes the end of the image, which holds 5 sectors: 1 sector "
       "is missing, and 1 more file does"},
      {"every kind",
       {fileEntry("HEAD", 0x0001, 0, 1), fileEntry("A", 0x0001, 4, 2),
        fileEntry("B", 0x0001, 4, 9)},
       8 * 256,
       "file \"HEAD\" (sector 0) lies in the volume's header; files \"A\" and \"B\" share "
       "sectors 4 to 5; file \"B\" (sectors 4 to 12) passes the end of the image, which holds 8 "
       "sectors: 5 sectors are missing"},
  };
  for (const auto& c : cases) {
    TestImage image;
    image.entries = c.entries;
    std::string bytes = image.bytes();
    bytes.resize(c.imageBytes, '\0');
    Reading r(bytes);
    ASSERT_TRUE(r.ok) << c.what;
    EXPECT_EQ(volumeFaults(r.volume, *r.in.rdbuf()), c.faults) << c.what;
  }
  // A stream that cannot tell its size has every sector.
  TestImage image;
  image.entries = {fileEntry("FAR", 0x0001, 900, 1)};
  ChunkedBuf chunks(image.bytes(), 256);
  std::istream in(&chunks);
  LifVolume volume(in);
  ASSERT_TRUE(volume.readDirectory());
  EXPECT_EQ(volumeFaults(volume, chunks), "");
}

}  // namespace
}  // namespace tamrik
