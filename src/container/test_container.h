// SPDX-License-Identifier: MIT
// Writes Teledisk, ImageDisk and HFE files in memory for the tests, the
// fuzz seeds and the benchmark: a volume cut into tracks as a drive lays it
// out, which a test then changes where it needs to, and the container
// formats around those tracks, packed with a small LZHUF encoder for
// Teledisk's advanced form and written as MFM cells for HFE.
#ifndef TAMRIK_CONTAINER_TEST_CONTAINER_H_
#define TAMRIK_CONTAINER_TEST_CONTAINER_H_

#include <cstddef>
#include <string>
#include <vector>

namespace tamrik::test {

struct TestSector {
  unsigned cylinder = 0;
  unsigned head = 0;
  unsigned id = 0;
  unsigned sizeCode = 1;  // 128 << code bytes
  unsigned flags = 0;     // Teledisk's: 0x02 data error, 0x40 made-up id;
                          // HFE: 0x80 id field with a wrong CRC
  std::string data;       // empty: a sector without data
  int encoding = -1;      // Teledisk: -1 for the file's choice
  std::string block;      // Teledisk: the data block as stored, when not empty
};

struct TestTrack {
  unsigned cylinder = 0;
  unsigned head = 0;
  std::vector<TestSector> sectors;
  std::string raw;  // when not empty, written as it is instead of the track
};

struct Geometry {
  unsigned cylinders = 77;
  unsigned heads = 2;
  unsigned sectors = 16;
  unsigned sizeCode = 1;
  unsigned firstId = 1;

  unsigned sectorBytes() const { return 128U << sizeCode; }
  std::size_t volumeBytes() const {
    return std::size_t{cylinders} * heads * sectors * sectorBytes();
  }
};

// The volume's bytes (zero-padded to the geometry) as tracks in cylinder,
// head order, the sectors of each track in an order that is neither by id
// nor the same on two tracks.
std::vector<TestTrack> volumeTracks(const std::string& volume, const Geometry& geometry);

struct TelediskOptions {
  bool advanced = false;
  unsigned encoding = 0;  // 0 raw, 1 pairs, 2 runs
  std::string comment;    // none when empty
  unsigned version = 21;
  unsigned sides = 0;  // the header's; 0: 2 when a track has head 1, else 1
};

std::string telediskFile(const std::vector<TestTrack>& tracks, const TelediskOptions& options);

// Every track's size code is its first sector's. Cylinder and head maps
// are written when a sector's differ from its track's, or when asked.
std::string imageDiskFile(const std::vector<TestTrack>& tracks, bool maps = false);

struct HfeOptions {
  const char* signature = "HXCPICFE";
  unsigned encoding = 0;   // the header's: 0 MFM, 1 Amiga MFM, 2 FM
  unsigned sides = 0;      // the header's; 0: 2 when a track has head 1, else 1
  unsigned sideBytes = 0;  // cells of each side filled with gap bytes to this many bytes
};

// A track's sectors as MFM cells on its cylinder's side, each sector a few
// cells off the last one's byte boundary. A sector with flag 0x02 gets a
// wrong data CRC, 0x80 a wrong id CRC, 0x40 a data field with no id field
// before it; one without data only its id field. Two tracks of the same
// cylinder and head share the side; raw tracks are left out.
std::string hfeFile(const std::vector<TestTrack>& tracks, const HfeOptions& options = {});

// Decode bombs: small files whose sectors claim far more data than they
// hold, all of 8 KiB (size code 6), cylinder 0, id 1, on both heads. In the
// HFE file all `cylinders` cylinders point at one 64 KiB block of id
// fields, each followed by a bare data mark; in the Teledisk file each of
// `cylinders` tracks, on alternate heads, holds 254 such sectors, each a
// 5-byte repeated pair.
std::string hfeBomb(unsigned cylinders);
std::string telediskBomb(unsigned cylinders);

// Teledisk's advanced compression of `bytes`.
std::string lzhufPack(const std::string& bytes);

}  // namespace tamrik::test

#endif  // TAMRIK_CONTAINER_TEST_CONTAINER_H_
