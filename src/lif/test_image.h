// SPDX-License-Identifier: MIT
// Builds LIF images in memory for tests: a valid volume written field by
// field, which a test then damages where it needs to.
#ifndef TAMRIK_LIF_TEST_IMAGE_H_
#define TAMRIK_LIF_TEST_IMAGE_H_

#include <cstdint>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "lif/byte_reader.h"

namespace tamrik {

// How GoogleTest shows a record's text in a failure: as the text.
template <std::size_t N>
void PrintTo(const InlineText<N>& text, std::ostream* out) {
  *out << '"' << text.view() << '"';
}

}  // namespace tamrik

namespace tamrik::test {

struct TestEntry {
  std::string name = "FILE      ";
  uint16_t typeCode = 0x0001;
  uint32_t startSector = 4;
  uint32_t sectorCount = 1;
  BcdStamp stamp{0x24, 0x03, 0x15, 0x10, 0x45, 0x00};
  uint16_t volumeWord = 0x8001;
  uint32_t implWord = 0;
};

struct TestImage {
  uint16_t lifId = 0x8000;
  std::string label = "TEST  ";
  uint32_t dirStart = 2;
  uint16_t auxWord = 0x1000;
  uint32_t dirLength = 1;
  uint16_t version = 1;
  uint32_t tracks = 77;
  uint32_t surfaces = 2;
  uint32_t sectorsPerTrack = 16;
  BcdStamp initBcd{0x24, 0x03, 0x15, 0x10, 0x42, 0x07};
  std::vector<TestEntry> entries;
  // Written after the entries when the directory has room for it.
  bool endMarker = true;
  // Zeros after the directory up to the end of the furthest file, so that
  // the image holds every sector its directory names.
  bool holdsFiles = false;

  // Header sector, zeros up to the directory, then the directory sectors.
  std::string bytes() const;
};

void putBE16(std::string& bytes, std::size_t offset, uint16_t value);
void putBE32(std::string& bytes, std::size_t offset, uint32_t value);

// The 32 bytes of one directory entry.
std::string entryBytes(const TestEntry& entry);

// An image in memory that seeks like a file: a position past the end is
// not an error, only reading there is.
class ImageBuf : public std::streambuf {
 public:
  explicit ImageBuf(std::string bytes) : bytes_(std::move(bytes)) { setAt(0); }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;

 private:
  void setAt(std::size_t offset);
  std::string bytes_;
};

struct ImageStream : std::istream {
  explicit ImageStream(std::string bytes) : std::istream(nullptr), buf(std::move(bytes)) {
    rdbuf(&buf);
  }
  ImageBuf buf;
};

// A file entry with the fields most tests vary; the rest keep their
// defaults.
TestEntry fileEntry(const std::string& name, uint16_t typeCode, uint32_t startSector,
                    uint32_t sectorCount, uint32_t implWord = 0);

// A name padded with blanks to ten characters.
std::string lifName(const std::string& text);

}  // namespace tamrik::test

#endif  // TAMRIK_LIF_TEST_IMAGE_H_
