// SPDX-License-Identifier: MIT
// LIF volumes inside Teledisk, ImageDisk and HFE files, read back block by block
// through the one entry point: the volume as a drive wrote it, and what real
// files hold besides or instead, one table row each, with what the listing
// of each is told it lacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <istream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "container/open_volume.h"
#include "container/test_container.h"
#include "lif/test_image.h"
#include "lif/test_sample.h"
#include "listing/list_volume.h"

namespace tamrik::test {
namespace {

enum class Form {
  kTelediskRaw,
  kTelediskPairs,
  kTelediskRuns,
  kTelediskAdvanced,
  kTelediskAdvancedBefore20,
  kImageDisk,
  kImageDiskMaps,
  kHfe,
};

std::string fileOf(Form form, const std::vector<TestTrack>& tracks) {
  TelediskOptions options;
  switch (form) {
    case Form::kImageDisk:
      return imageDiskFile(tracks);
    case Form::kImageDiskMaps:
      return imageDiskFile(tracks, true);
    case Form::kHfe:
      return hfeFile(tracks);
    case Form::kTelediskRaw:
      options.comment = std::string("Raw sectors\0second line", 23);
      break;
    case Form::kTelediskPairs:
      options.encoding = 1;
      break;
    case Form::kTelediskRuns:
      options.encoding = 2;
      options.comment = "Runs";
      break;
    case Form::kTelediskAdvancedBefore20:
      options.version = 15;
      [[fallthrough]];
    case Form::kTelediskAdvanced:
      options.advanced = true;
      options.encoding = 2;
      // Blanks first: the packer copies them from the ring's blanks, which
      // nothing wrote.
      options.comment = std::string(200, ' ') + "Advanced";
      break;
  }
  return telediskFile(tracks, options);
}

// The sample's header and directory, then blocks that each name their
// place, followed by noise that leaves the packer little to match; every
// fifth sector all 0xE5, as a formatter leaves it.
std::string volumeOf(const Geometry& geometry) {
  std::string bytes(geometry.volumeBytes(), '\0');
  const std::size_t sectorBytes = geometry.sectorBytes();
  uint32_t noise = 12345;
  for (std::size_t at = 0; at < bytes.size(); at += 256) {
    const std::size_t sector = at / sectorBytes;
    const std::string text =
        "sector " + std::to_string(sector) + " block " + std::to_string(at / 256);
    for (std::size_t i = 0; i < 256; ++i) {
      noise = noise * 1103515245 + 12345;
      const char made = i < 128 ? text[i % text.size()] : static_cast<char>(noise >> 24);
      bytes[at + i] = sector % 5 == 4 ? '\xE5' : made;
    }
  }
  const std::string lif = sampleVolume().bytes();
  bytes.replace(0, lif.size(), lif);
  return bytes;
}

// A directory of 200 entries in sectors 2 to 26, which runs from the first
// track onto the second side of a 16-sector disk.
std::string bigDirectoryVolume(const Geometry& geometry) {
  TestImage image;
  image.label = "BIGDIR";
  image.dirLength = 25;
  for (uint32_t i = 0; i < 200; ++i) {
    const std::string number = std::to_string(i);
    image.entries.push_back(fileEntry(lifName("F" + number), 0xE208, 27 + i, 1));
  }
  std::string bytes(geometry.volumeBytes(), '\0');
  const std::string lif = image.bytes();
  bytes.replace(0, lif.size(), lif);
  return bytes;
}

// A file as given, which tells how far into it was read, even after it
// was closed.
class MeteredBuf : public std::streambuf {
 public:
  MeteredBuf(std::string bytes, std::size_t& furthest)
      : bytes_(std::move(bytes)), furthest_(furthest) {}

 protected:
  int_type underflow() override {
    const std::size_t at = position_ + static_cast<std::size_t>(egptr() - eback());
    if (at >= bytes_.size()) return traits_type::eof();
    place(at);
    return traits_type::to_int_type(*gptr());
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    if (dir == std::ios_base::cur) off += static_cast<off_type>(position_) + (gptr() - eback());
    if (dir == std::ios_base::end) off += static_cast<off_type>(bytes_.size());
    return seekpos(pos_type(off), std::ios_base::in);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
    position_ = static_cast<std::size_t>(off_type(pos));
    setg(nullptr, nullptr, nullptr);
    return pos;
  }

 private:
  // Handed out 4 KiB at a time, as a file is read.
  void place(std::size_t at) {
    position_ = at;
    const std::size_t end = std::min(bytes_.size(), at + 4096);
    furthest_ = std::max(furthest_, end);
    setg(bytes_.data() + at, bytes_.data() + at, bytes_.data() + end);
  }
  std::string bytes_;
  std::size_t& furthest_;
  std::size_t position_ = 0;
};

// A file whose reads of more than one byte that start in the block at
// `from` give nothing, as when it fails after it was opened; a look at one
// byte, as a check of its size takes, still answers.
class ShortReadBuf : public std::streambuf {
 public:
  ShortReadBuf(std::string bytes, std::size_t from) : bytes_(std::move(bytes)), from_(from) {}

 protected:
  int_type underflow() override {
    if (at_ >= bytes_.size()) return traits_type::eof();
    setg(&bytes_[at_], &bytes_[at_], &bytes_[at_] + 1);
    return traits_type::to_int_type(bytes_[at_]);
  }
  int_type uflow() override {
    const int_type c = underflow();
    if (c != traits_type::eof()) ++at_;
    setg(nullptr, nullptr, nullptr);
    return c;
  }
  std::streamsize xsgetn(char* into, std::streamsize count) override {
    const std::size_t end = std::min(bytes_.size(), at_ + static_cast<std::size_t>(count));
    const bool fails = at_ >= from_ && at_ < from_ + 512;
    const std::size_t got = fails || at_ >= end ? 0 : end - at_;
    std::copy_n(bytes_.data() + at_, got, into);
    at_ += got;
    setg(nullptr, nullptr, nullptr);
    return static_cast<std::streamsize>(got);
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    if (dir == std::ios_base::cur) off += static_cast<off_type>(at_);
    if (dir == std::ios_base::end) off += static_cast<off_type>(bytes_.size());
    return seekpos(pos_type(off), std::ios_base::in);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
    at_ = static_cast<std::size_t>(off_type(pos));
    setg(nullptr, nullptr, nullptr);
    return pos;
  }

 private:
  std::string bytes_;
  std::size_t from_;
  std::size_t at_ = 0;
};

struct Listing {
  std::string text;
  std::string note;
};

// The listing of a file as the command line makes it, and what it is told.
Listing listingOf(std::unique_ptr<std::streambuf> file) {
  const container::OpenedVolume volume = container::openVolume(std::move(file));
  std::istream image(volume.stream.get());
  std::ostringstream out;
  listVolume(image, false, false, LineWriter{out});
  return {out.str(), volume.note()};
}

std::string readVolume(std::unique_ptr<std::streambuf> file) {
  const container::OpenedVolume volume = container::openVolume(std::move(file));
  std::string bytes;
  char chunk[65536];
  for (std::streamsize got; (got = volume.stream->sgetn(chunk, sizeof chunk)) > 0;) {
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  return bytes;
}

std::string readVolume(const std::string& file) {
  return readVolume(std::make_unique<ImageBuf>(file));
}

// The same, block by block from the last: the volume must not depend on
// the order in which tracks were asked for.
std::string readVolumeBackwards(const std::string& file, std::size_t size) {
  const container::OpenedVolume volume = container::openVolume(std::make_unique<ImageBuf>(file));
  std::istream in(volume.stream.get());
  std::string bytes(size, '\0');
  for (std::size_t block = (size + 255) / 256; block-- > 0;) {
    in.seekg(static_cast<std::streamoff>(block * 256));
    in.read(bytes.data() + block * 256,
            static_cast<std::streamsize>(std::min<std::size_t>(256, size - block * 256)));
  }
  if (!in) bytes += " (a block did not read)";
  return bytes;
}

// Where two volumes first differ, rather than both of them.
std::string difference(const std::string& got, const std::string& want) {
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  if (at == got.size() && at == want.size()) return "";
  return "differs at byte " + std::to_string(at) + " (block " + std::to_string(at / 256) + "); " +
         std::to_string(got.size()) + " bytes read, " + std::to_string(want.size()) + " wanted";
}

TestTrack& trackOf(std::vector<TestTrack>& tracks, unsigned cylinder, unsigned head) {
  for (TestTrack& track : tracks) {
    if (track.raw.empty() && track.cylinder == cylinder && track.head == head) return track;
  }
  ADD_FAILURE() << "no track " << cylinder << "/" << head;
  return tracks.front();
}

TestSector& sectorOf(std::vector<TestTrack>& tracks, unsigned cylinder, unsigned head,
                     unsigned id) {
  for (TestSector& sector : trackOf(tracks, cylinder, head).sectors) {
    if (sector.id == id) return sector;
  }
  ADD_FAILURE() << "no sector " << cylinder << "/" << head << "/" << id;
  return tracks.front().sectors.front();
}

std::size_t offsetOf(const Geometry& g, unsigned cylinder, unsigned head, unsigned id) {
  return ((std::size_t{cylinder} * g.heads + head) * g.sectors + id - g.firstId) * g.sectorBytes();
}

void zeroSector(std::string& volume, const Geometry& g, unsigned cylinder, unsigned head,
                unsigned id) {
  volume.replace(offsetOf(g, cylinder, head, id), g.sectorBytes(), g.sectorBytes(), '\0');
}

// A track of the given shape whose every byte is 0x6C.
TestTrack foreignTrack(unsigned cylinder, unsigned head, unsigned count, unsigned sizeCode,
                       unsigned firstId) {
  TestTrack track;
  track.cylinder = cylinder;
  track.head = head;
  for (unsigned i = 0; i < count; ++i) {
    TestSector& sector = track.sectors.emplace_back();
    sector.cylinder = cylinder;
    sector.head = head;
    sector.id = firstId + i;
    sector.sizeCode = sizeCode;
    sector.data.assign(128U << sizeCode, '\x6C');
  }
  return track;
}

TestTrack rawTrack(std::string bytes) {
  TestTrack track;
  track.raw = std::move(bytes);
  return track;
}

// Teledisk tracks of 130 sectors of an unknown size, each with a data block
// of 64 KiB: every pair unpacks to 17 MB, of which nothing is kept.
TestTrack hugeTracks() {
  std::string track("\x82\0\0\0", 4);
  for (int i = 0; i < 130; ++i)
    track += std::string("\0\0\1\7\0\0\xFF\xFF", 8) + std::string(0xFFFF, '\0');
  return rawTrack(track + track);
}

// Inserts `track` before the first track of `cylinder`.
void insertBefore(std::vector<TestTrack>& tracks, unsigned cylinder, TestTrack track) {
  auto at = tracks.begin();
  while (at != tracks.end() && (!at->raw.empty() || at->cylinder < cylinder)) ++at;
  tracks.insert(at, std::move(track));
}

void eraseSector(std::vector<TestTrack>& tracks, unsigned cylinder, unsigned head, unsigned id) {
  auto& sectors = trackOf(tracks, cylinder, head).sectors;
  sectors.erase(std::find_if(sectors.begin(), sectors.end(),
                             [id](const TestSector& sector) { return sector.id == id; }));
}

// A copy of sector 0/0/id with a data error and other data, before it on
// its track.
void badCopyBefore(std::vector<TestTrack>& tracks, unsigned id) {
  TestSector bad = sectorOf(tracks, 0, 0, id);
  bad.flags = 0x02;
  bad.data.assign(256, 'E');
  auto& sectors = trackOf(tracks, 0, 0).sectors;
  sectors.insert(sectors.begin(), bad);
}

// Every head-0 track first, then every head-1 track.
void sideBySide(std::vector<TestTrack>& tracks) {
  std::stable_partition(tracks.begin(), tracks.end(),
                        [](const TestTrack& track) { return track.head == 0; });
}

constexpr Geometry kHp9114{77, 2, 16, 1, 1};
constexpr Geometry kSmall{4, 2, 16, 1, 1};
constexpr Geometry kSingleFrom0{4, 1, 16, 1, 0};
constexpr Geometry kSmallFrom0{4, 2, 16, 1, 0};
constexpr Geometry kEightSectors{4, 2, 8, 1, 1};
constexpr std::size_t kSmallTrack = 16 * 256;

// A 256-byte sector with its own id and the given data, for a track that
// should not hold it.
TestSector straySector(unsigned cylinder, unsigned head, unsigned id) {
  TestSector sector;
  sector.cylinder = cylinder;
  sector.head = head;
  sector.id = id;
  sector.data.assign(256, 'S');
  return sector;
}

// From cylinder 1 on, `count` sectors a track that claim 8 KiB each (a
// data block of a repeated pair, one byte that fills the sector, or a data
// field of one byte), up to cylinder `last`: more than 16 MiB in all.
void bombFrom1(std::vector<TestTrack>& t, unsigned count, unsigned last) {
  std::erase_if(t, [](const TestTrack& track) { return track.cylinder >= 1; });
  for (unsigned cylinder = 1; cylinder <= last; ++cylinder) {
    for (unsigned head = 0; head < 2; ++head) {
      TestTrack& track = t.emplace_back();
      track.cylinder = cylinder;
      track.head = head;
      for (unsigned i = 0; i < count; ++i) {
        TestSector& sector = track.sectors.emplace_back();
        sector.cylinder = cylinder;
        sector.head = head;
        sector.id = 1;
        sector.sizeCode = 6;
        sector.data = "x";
        sector.block = std::string("\1\0\x10xx", 5);
      }
    }
  }
}

// Every sector without data but the header sector, whose directory is made
// to start at `block`; and one more track, on the cylinder after the last.
void onlyTheHeader(std::vector<TestTrack>& t, uint32_t block) {
  unsigned last = 0;
  for (TestTrack& track : t) {
    last = std::max(last, track.cylinder);
    for (TestSector& sector : track.sectors) {
      if (sector.cylinder != 0 || sector.head != 0 || sector.id != 0) sector.data.clear();
    }
  }
  TestSector& header = sectorOf(t, 0, 0, 0);
  for (unsigned i = 0; i < 4; ++i) header.data[8 + i] = static_cast<char>(block >> (24 - 8 * i));
  TestTrack& more = t.emplace_back();
  more.cylinder = last + 1;
  more.sectors.push_back(header);
  more.sectors.back().cylinder = last + 1;
}

// The tracks of head 1 on cylinders 0 and 1 left out of the file.
void withoutFirstSide1(std::vector<TestTrack>& t) {
  std::erase_if(t, [](const TestTrack& track) { return track.head == 1 && track.cylinder < 2; });
}

// The same tracks recorded with no sectors.
void firstSide1Empty(std::vector<TestTrack>& t) {
  trackOf(t, 0, 1).sectors.clear();
  trackOf(t, 1, 1).sectors.clear();
}

void zeroFirstSide1(std::string& v, const Geometry& g) {
  for (unsigned cylinder = 0; cylinder < 2; ++cylinder) {
    for (unsigned id = g.firstId; id < g.firstId + g.sectors; ++id) {
      zeroSector(v, g, cylinder, 1, id);
    }
  }
}

using Tracks = std::vector<TestTrack>&;
using Volume = std::string&;
using File = std::string&;

struct Case {
  const char* what;
  Geometry geometry;
  Form form;
  void (*change)(Tracks) = nullptr;
  void (*expect)(Volume, const Geometry&) = nullptr;
  void (*damage)(File) = nullptr;
  bool handedBack = false;  // the file is no container and reads as it is
  const char* note = "";    // what the listing is told
  bool bigDirectory = false;
  std::size_t shortReadsFrom = 0;  // when not 0, reads that start in the block there fail
};

std::unique_ptr<std::streambuf> fileOf(const Case& c, const std::string& file) {
  if (c.shortReadsFrom != 0) return std::make_unique<ShortReadBuf>(file, c.shortReadsFrom);
  return std::make_unique<ImageBuf>(file);
}

const Case kCases[] = {
    {"77 x 2 x 16 x 256, ids from 1, sectors as they are", kHp9114, Form::kTelediskRaw},
    {"35 x 2 x 16 x 256, ids from 0, repeated pairs", {35, 2, 16, 1, 0}, Form::kTelediskPairs},
    {"70 x 1 x 16 x 256, single-sided, runs", {70, 1, 16, 1, 0}, Form::kTelediskRuns},
    {"80 x 2 x 9 x 512, ImageDisk", {80, 2, 9, 2, 1}, Form::kImageDisk},
    {"20 x 2 x 5 x 1024, advanced form", {20, 2, 5, 3, 1}, Form::kTelediskAdvanced},
    {"cylinder and head maps", kSmall, Form::kImageDiskMaps},

    {"a Teledisk sector without data reads as zeros", kSmall, Form::kTelediskRuns,
     [](Tracks t) { sectorOf(t, 0, 1, 5).data.clear(); },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 1, 5); }},
    {"an ImageDisk sector without data reads as zeros", kSmall, Form::kImageDisk,
     [](Tracks t) { sectorOf(t, 1, 0, 16).data.clear(); },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 1, 0, 16); }},
    {"a missing sector reads as zeros, on the first track too", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       auto& sectors = trackOf(t, 0, 0).sectors;
       sectors.erase(std::find_if(sectors.begin(), sectors.end(),
                                  [](const TestSector& sector) { return sector.id == 10; }));
     },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 10); }},
    {"a missing track below the last cylinder reads as zeros", kSmall, Form::kImageDisk,
     [](Tracks t) { t.erase(t.begin() + 5); },
     [](Volume v, const Geometry&) { v.replace(5 * kSmallTrack, kSmallTrack, kSmallTrack, '\0'); }},
    {"a second copy of a sector is left out", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       TestSector copy = sectorOf(t, 0, 0, 3);
       copy.data.assign(256, 'D');
       copy.flags = 0x01;
       trackOf(t, 0, 0).sectors.push_back(copy);
     }},
    {"ids that Teledisk made up from 100 are left out", kSmall, Form::kTelediskPairs,
     [](Tracks t) {
       for (unsigned i = 0; i < 3; ++i) {
         TestSector made = sectorOf(t, i / 2, i % 2, 1);
         made.id = 100 + i;
         made.flags = 0x40;
         made.data.assign(256, 'M');
         trackOf(t, i / 2, i % 2).sectors.insert(trackOf(t, i / 2, i % 2).sectors.begin(), made);
       }
       // One that happens to fall in the run still names no sector.
       TestSector made = sectorOf(t, 1, 1, 5);
       made.flags = 0x40;
       made.data.assign(256, 'M');
       trackOf(t, 1, 1).sectors.insert(trackOf(t, 1, 1).sectors.begin(), made);
     }},
    {"a sector of another size on every track is left out, error and all", kSmall,
     Form::kTelediskRuns,
     [](Tracks t) {
       for (TestTrack& track : t) {
         TestSector extra = track.sectors[0];
         extra.id = 17;
         extra.sizeCode = &track == &t[0] ? 3 : 0;  // larger on the first track
         extra.flags = 0x02;
         extra.data.assign(128U << extra.sizeCode, 'X');
         track.sectors.insert(track.sectors.begin() + 2, extra);
       }
     }},
    {"a track given again later adds nothing", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       TestTrack again = trackOf(t, 0, 0);
       for (TestSector& sector : again.sectors) sector.data.assign(256, 'T');
       t.insert(t.begin() + 1, again);
       auto& sectors = trackOf(t, 0, 0).sectors;
       sectors.erase(std::find_if(sectors.begin(), sectors.end(),
                                  [](const TestSector& sector) { return sector.id == 10; }));
     },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 10); }},
    {"a data error keeps the data read (Teledisk)", kSmall, Form::kTelediskRaw,
     [](Tracks t) { sectorOf(t, 0, 0, 1).flags = 0x02; }, nullptr, nullptr, false,
     "header sector 0 was recorded with a data error; it is shown as recorded"},
    {"a data error keeps the data read (ImageDisk)", kSmall, Form::kImageDisk,
     [](Tracks t) {
       sectorOf(t, 0, 0, 1).flags = 0x02;
       sectorOf(t, 0, 1, 4).flags = 0x02;  // all 0xE5: a repeated byte with an error
     },
     nullptr, nullptr, false,
     "header sector 0 was recorded with a data error; it is shown as recorded"},
    {"another format on the other side of a single-sided volume", kSingleFrom0, Form::kTelediskRaw,
     [](Tracks t) {
       for (unsigned cylinder = 4; cylinder-- > 0;) {
         insertBefore(t, cylinder + 1, foreignTrack(cylinder, 1, 9, 2, 1));
       }
     }},
    {"cylinders of another format beyond the volume end it", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       t.push_back(foreignTrack(4, 0, 9, 2, 1));
       t.push_back(foreignTrack(4, 1, 16, 1, 17));
       t.push_back(foreignTrack(5, 0, 16, 1, 97));
     }},
    {"a cylinder recorded without sectors ends the volume", kSmall, Form::kImageDisk,
     [](Tracks t) {
       t.emplace_back().cylinder = 4;
       t.emplace_back().cylinder = 5;
     }},
    {"a sector's own ids place it, not its track's (ImageDisk maps)", kSmall, Form::kImageDisk,
     [](Tracks t) {
       for (TestTrack& track : t) {
         track.cylinder = 2 * track.cylinder + 1;
         track.head = 0;
       }
     }},
    {"a sector's own ids place it, not its track's (Teledisk)", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       for (TestTrack& track : t) track.cylinder = 40;
     }},
    {"an unknown encoding reads as zeros", kSmall, Form::kTelediskRaw,
     [](Tracks t) { sectorOf(t, 1, 1, 7).encoding = 3; },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 1, 1, 7); }},
    {"a repeat count beyond the sector is cut at its end", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       sectorOf(t, 1, 0, 2).block = std::string(
           "\1\xFF\xFF"
           "AB",
           5);
     },
     [](Volume v, const Geometry& g) {
       for (std::size_t i = 0; i < 256; ++i) v[offsetOf(g, 1, 0, 2) + i] = "AB"[i % 2];
     }},
    {"a run longer than its block is cut at the block's end", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       sectorOf(t, 1, 0, 3).block = std::string(
           "\2\0\xFF"
           "0123456789",
           13);
     },
     [](Volume v, const Geometry& g) {
       zeroSector(v, g, 1, 0, 3);
       v.replace(offsetOf(g, 1, 0, 3), 10, "0123456789");
     }},
    {"a run repeats 2L bytes", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       sectorOf(t, 2, 1, 9).block = std::string(
                                        "\2\3\2"
                                        "ABCDEF"
                                        "\0\xF4",
                                        11) +
                                    std::string(244, 'z');
     },
     [](Volume v, const Geometry& g) {
       v.replace(offsetOf(g, 2, 1, 9), 256, "ABCDEFABCDEF" + std::string(244, 'z'));
     }},
    {"a million empty tracks between two cylinders", kSmall, Form::kTelediskRaw,
     [](Tracks t) { insertBefore(t, 1, rawTrack(std::string(4000000, '\0'))); }},
    {"a packed stream that expands past 16 MiB ends the volume where it stands", kSmall,
     Form::kTelediskAdvanced, [](Tracks t) { insertBefore(t, 1, hugeTracks()); },
     [](Volume v, const Geometry&) { v.resize(2 * kSmallTrack); }},
    {"a file read past 16 MiB ends the volume where it stands", kSmall, Form::kTelediskRaw,
     [](Tracks t) { insertBefore(t, 1, hugeTracks()); },
     [](Volume v, const Geometry&) { v.resize(2 * kSmallTrack); }},
    {"a Teledisk data block of length 0 ends the file", kEightSectors, Form::kTelediskRaw,
     [](Tracks t) {
       insertBefore(t, 1,
                    rawTrack(std::string("\1\1\0\0"
                                         "\1\0\1\1\0\0"
                                         "\0\0",
                                         12)));
     },
     [](Volume v, const Geometry&) { v.resize(2 * 8 * 256); }, nullptr, false,
     "the file is damaged (a data block of length 0)", true},
    {"an ImageDisk sector size beyond 8 KiB ends the file", kSmall, Form::kImageDisk,
     [](Tracks t) { insertBefore(t, 2, rawTrack(std::string("\5\2\0\1\7\1\2\0", 8))); },
     [](Volume v, const Geometry&) { v.resize(4 * kSmallTrack); }},
    {"an ImageDisk record type beyond 8 ends the file", kEightSectors, Form::kImageDisk,
     [](Tracks t) { insertBefore(t, 1, rawTrack(std::string("\5\1\0\1\1\1\x09", 7))); },
     [](Volume v, const Geometry&) { v.resize(2 * 8 * 256); }, nullptr, false,
     "the file is damaged (sector record type 9)", true},
    {"a Teledisk file without its end record", kEightSectors, Form::kTelediskRaw,
     [](Tracks t) { t.resize(2); }, [](Volume v, const Geometry&) { v.resize(2 * 8 * 256); },
     [](File f) { f.resize(f.size() - 4); }, false,
     "the file is damaged (the file ends without its end record)", true},
    {"a packed Teledisk file cut inside a record", kSmall, Form::kTelediskAdvanced,
     [](Tracks t) {
       t.resize(1);
       t.push_back(rawTrack(std::string("\x10\0\1\0\0\1\1\1\0\0", 10)));
     },
     [](Volume v, const Geometry&) { v.resize(kSmallTrack); }, nullptr, false,
     "the file is damaged (compressed data ends inside a record)", true},
    {"a packed stream that unpacks past 16 MiB before the second side", kSmall,
     Form::kTelediskAdvanced, [](Tracks t) { t.insert(t.begin() + 1, hugeTracks()); },
     [](Volume v, const Geometry& g) {
       zeroFirstSide1(v, g);
       v.resize(2 * kSmallTrack);
     },
     nullptr, false,
     "directory sectors 16 to 26 are not in the file, which is damaged (the compressed data "
     "unpacks to more than 16 MiB); they were read as zeros",
     true},
    {"a file read past 16 MiB before the second side", kSmall, Form::kTelediskRaw,
     [](Tracks t) { t.insert(t.begin() + 1, hugeTracks()); },
     [](Volume v, const Geometry& g) {
       zeroFirstSide1(v, g);
       v.resize(2 * kSmallTrack);
     },
     nullptr, false,
     "directory sectors 16 to 26 are not in the file, which is damaged (the file is larger than "
     "the 16 MiB read of a container); they were read as zeros",
     true},
    // Cylinder 1 starts at byte 11,264; the fourth read of 4 KiB, at 13,312, fails.
    {"HFE: a cylinder whose read comes short after the open", kEightSectors, Form::kHfe, nullptr,
     [](Volume v, const Geometry&) { v.resize(2 * 8 * 256); }, nullptr, false,
     "the file is damaged (cylinder 1 is cut short)", true, 1024 + 3 * 4096},

    {"a Teledisk header with a wrong CRC is refused", kSmall, Form::kTelediskRaw, nullptr,
     [](Volume v, const Geometry&) { v.clear(); }, [](File f) { f[9] ^= 1; }, false,
     "the Teledisk header's CRC is wrong"},
    {"a packed Teledisk file before version 2.0 is refused", kSmall,
     Form::kTelediskAdvancedBefore20, nullptr, [](Volume v, const Geometry&) { v.clear(); },
     nullptr, false, "Teledisk 1.5 packs its files in a form that is not read"},
    {"a Teledisk file cut inside its header is refused", kSmall, Form::kTelediskRaw, nullptr,
     [](Volume v, const Geometry&) { v.clear(); }, [](File f) { f.resize(2); }, false,
     "the Teledisk header is cut short"},
    {"an ImageDisk text without its end is refused", kSmall, Form::kImageDisk, nullptr,
     [](Volume v, const Geometry&) { v.clear(); }, [](File f) { f.resize(f.find('\x1A')); }, false,
     "the ImageDisk text has no end"},
    {"an ImageDisk text that runs past 16 MiB is refused", kSmall, Form::kImageDisk, nullptr,
     [](Volume v, const Geometry&) { v.clear(); },
     [](File f) { f.insert(4, std::string(17 << 20, ' ')); }, false,
     "the ImageDisk text has no end"},

    // What a listing lacks, and is told. The 200-entry directory runs from
    // block 2 on the first track to block 26 on the second side.
    {"a file written side by side lists its whole directory", kSmall, Form::kImageDisk, sideBySide,
     nullptr, nullptr, false, "", true},
    {"side by side, advanced form", kSmall, Form::kTelediskAdvanced, sideBySide, nullptr, nullptr,
     false, "", true},
    {"absent directory sectors", kSmall, Form::kImageDisk,
     [](Tracks t) {
       eraseSector(t, 0, 0, 10);
       eraseSector(t, 0, 0, 13);
     },
     [](Volume v, const Geometry& g) {
       zeroSector(v, g, 0, 0, 10);
       zeroSector(v, g, 0, 0, 13);
     },
     nullptr, false, "directory sectors 9 and 12 are not in the file; they were read as zeros",
     true},
    {"every directory sector absent", kSmall, Form::kImageDisk,
     [](Tracks t) {
       for (unsigned id = 3; id <= 16; ++id) eraseSector(t, 0, 0, id);
       for (unsigned id = 1; id <= 11; ++id) eraseSector(t, 0, 1, id);
     },
     [](Volume v, const Geometry& g) {
       for (unsigned id = 3; id <= 16; ++id) zeroSector(v, g, 0, 0, id);
       for (unsigned id = 1; id <= 11; ++id) zeroSector(v, g, 0, 1, id);
     },
     nullptr, false, "directory sectors 2 to 26 are not in the file; they were read as zeros",
     true},
    {"a directory sector recorded without data", kSmall, Form::kTelediskRaw,
     [](Tracks t) { sectorOf(t, 0, 0, 7).data.clear(); },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 7); }, nullptr, false,
     "directory sector 6 was recorded without data; it was read as zeros", true},
    {"directory sectors recorded with a data error", kSmall, Form::kImageDisk,
     [](Tracks t) {
       sectorOf(t, 0, 0, 7).flags = 0x02;
       sectorOf(t, 0, 1, 2).flags = 0x02;
       sectorOf(t, 0, 1, 3).flags = 0x02;
       sectorOf(t, 0, 1, 4).flags = 0x02;
     },
     nullptr, nullptr, false,
     "directory sectors 6 and 17 to 19 were recorded with a data error; they are shown as recorded",
     true},
    {"a sector with a data error and a whole copy after it", kSmall, Form::kTelediskRaw,
     [](Tracks t) { badCopyBefore(t, 7); }, nullptr, nullptr, false, "", true},
    {"the header sector absent", kSmall, Form::kTelediskRaw,
     [](Tracks t) { eraseSector(t, 0, 0, 1); },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 1); }, nullptr, false,
     "header sector 0 is not in the file; it was read as zeros", true},
    {"sectors absent beyond the directory are not told", kSmall, Form::kImageDisk,
     [](Tracks t) { eraseSector(t, 1, 0, 4); },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 1, 0, 4); }, nullptr, false, "", true},
    {"a Teledisk file cut inside the second side of its directory", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       t.resize(1);
       t.push_back(rawTrack(std::string("\x10\0\1\0\0\1\1\1\0\0", 10)));
     },
     [](Volume v, const Geometry&) { v.resize(kSmallTrack); }, nullptr, false,
     "the file is damaged (track record cut short)", true},
    {"an ImageDisk file cut inside the second side of its directory", kSmall, Form::kImageDisk,
     [](Tracks t) {
       t.resize(1);
       t.push_back(rawTrack(std::string("\5\0\1\x10\1\1\2\3", 8)));
     },
     [](Volume v, const Geometry&) { v.resize(kSmallTrack); }, nullptr, false,
     "the file is damaged (track record cut short)", true},
    {"an ImageDisk track whose sector size code is 9", kSmall, Form::kImageDisk,
     [](Tracks t) { t.insert(t.begin() + 1, rawTrack(std::string("\5\0\1\1\x09\1\1", 7))); },
     [](Volume v, const Geometry&) { v.resize(kSmallTrack); }, nullptr, false,
     "the file is damaged (sector size code 9)", true},
    {"a first track that lacks its last sector keeps the run of the others", kSmall,
     Form::kImageDisk, [](Tracks t) { eraseSector(t, 0, 0, 16); },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 16); }, nullptr, false,
     "directory sector 15 is not in the file; it was read as zeros", true},

    // One rule for the disk's numbering, from the first two cylinders of
    // both heads, in every format.
    {"ids from 0, header sector absent (Teledisk)", kSmallFrom0, Form::kTelediskRaw,
     [](Tracks t) { eraseSector(t, 0, 0, 0); },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 0); }, nullptr, false,
     "header sector 0 is not in the file; it was read as zeros", true},
    {"ids from 0, header sector absent (ImageDisk)", kSmallFrom0, Form::kImageDisk,
     [](Tracks t) { eraseSector(t, 0, 0, 0); },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 0); }, nullptr, false,
     "header sector 0 is not in the file; it was read as zeros", true},
    {"ids from 0, header sector absent (HFE)", kSmallFrom0, Form::kHfe,
     [](Tracks t) { eraseSector(t, 0, 0, 0); },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 0); }, nullptr, false,
     "header sector 0 is not in the file; it was read as zeros", true},
    {"a stray id 0 on the second side of a disk from 1 (Teledisk)", kSmall, Form::kTelediskRaw,
     [](Tracks t) { trackOf(t, 0, 1).sectors.push_back(straySector(0, 1, 0)); }, nullptr, nullptr,
     false,
     "sector id 0 on cylinder 0 head 1 lies outside the disk's numbering (ids 1 to 16); it was "
     "left out",
     true},
    {"a stray id 0 on the second side of a disk from 1 (ImageDisk)", kSmall, Form::kImageDisk,
     [](Tracks t) { trackOf(t, 0, 1).sectors.push_back(straySector(0, 1, 0)); }, nullptr, nullptr,
     false,
     "sector id 0 on cylinder 0 head 1 lies outside the disk's numbering (ids 1 to 16); it was "
     "left out",
     true},
    {"a stray id 0 on the second side of a disk from 1 (HFE)", kSmall, Form::kHfe,
     [](Tracks t) { trackOf(t, 0, 1).sectors.push_back(straySector(0, 1, 0)); }, nullptr, nullptr,
     false,
     "sector id 0 on cylinder 0 head 1 lies outside the disk's numbering (ids 1 to 16); it was "
     "left out",
     true},
    {"a stray id 200 on the first track (Teledisk)", kSmall, Form::kTelediskRaw,
     [](Tracks t) { trackOf(t, 0, 0).sectors.push_back(straySector(0, 0, 200)); }, nullptr,
     nullptr, false,
     "sector id 200 on cylinder 0 head 0 lies outside the disk's numbering (ids 1 to 16); it was "
     "left out",
     true},
    {"stray ids 200 and 17 (ImageDisk)", kSmall, Form::kImageDisk,
     [](Tracks t) {
       trackOf(t, 0, 0).sectors.push_back(straySector(0, 0, 200));
       trackOf(t, 0, 1).sectors.push_back(straySector(0, 1, 17));
     },
     nullptr, nullptr, false,
     "sector ids 200 on cylinder 0 head 0 and 17 on cylinder 0 head 1 lie outside the disk's "
     "numbering (ids 1 to 16); they were left out",
     true},
    {"a stray id 200 on the first track (HFE)", kSmall, Form::kHfe,
     [](Tracks t) { trackOf(t, 0, 0).sectors.push_back(straySector(0, 0, 200)); }, nullptr,
     nullptr, false,
     "sector id 200 on cylinder 0 head 0 lies outside the disk's numbering (ids 1 to 16); it was "
     "left out",
     true},
    {"a promised side 1 missing on cylinders 0 and 1 (Teledisk)", kSmall, Form::kTelediskRaw,
     withoutFirstSide1, zeroFirstSide1, nullptr, false,
     "directory sectors 16 to 26 are not in the file; they were read as zeros", true},
    {"a promised side 1 missing on cylinders 0 and 1 (HFE)", kSmall, Form::kHfe,
     withoutFirstSide1, zeroFirstSide1, nullptr, false,
     "directory sectors 16 to 26 are not in the file; they were read as zeros", true},
    {"side 1 recorded empty on cylinders 0 and 1 (ImageDisk)", kSmall, Form::kImageDisk,
     firstSide1Empty, zeroFirstSide1, nullptr, false,
     "directory sectors 16 to 26 are not in the file; they were read as zeros", true},
    {"a block of two 128-byte sectors, one with a data error, one absent", {4, 2, 16, 0, 1},
     Form::kImageDisk,
     [](Tracks t) {
       sectorOf(t, 0, 0, 15).flags = 0x02;
       eraseSector(t, 0, 0, 16);
     },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 16); }, nullptr, false,
     "directory sector 7 is not in the file; it was read as zeros; directory sector 7 was "
     "recorded with a data error; it is shown as recorded",
     true},

    // Decode bombs beyond the first cylinder: each format stops at the same
    // bound, and the directory that runs into them is told so.
    {"sectors that decode past 16 MiB (Teledisk)", kEightSectors, Form::kTelediskRaw,
     [](Tracks t) { bombFrom1(t, 254, 8); },
     [](Volume v, const Geometry&) { v.resize(2 * 8 * 256); }, nullptr, false,
     "the file is damaged (the sectors decode to more than 16 MiB)", true},
    {"sectors that decode past 16 MiB (HFE)", kEightSectors, Form::kHfe,
     [](Tracks t) { bombFrom1(t, 300, 4); },
     [](Volume v, const Geometry&) { v.resize(2 * 8 * 256); }, nullptr, false,
     "the file is damaged (the sectors decode to more than 16 MiB)", true},

    {"directory sectors without data, and in an unknown encoding", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       sectorOf(t, 0, 0, 5).data.clear();
       sectorOf(t, 0, 0, 6).data.clear();
       sectorOf(t, 0, 0, 9).encoding = 3;
     },
     [](Volume v, const Geometry& g) {
       for (const unsigned id : {5U, 6U, 9U}) zeroSector(v, g, 0, 0, id);
     },
     nullptr, false,
     "directory sectors 4 and 5 were recorded without data; they were read as zeros; directory "
     "sector 8 is stored in an encoding that is not known; it was read as zeros",
     true},
    {"directory sectors in an unknown encoding", kSmall, Form::kTelediskRaw,
     [](Tracks t) {
       sectorOf(t, 0, 0, 9).encoding = 3;
       sectorOf(t, 0, 1, 1).encoding = 4;
     },
     [](Volume v, const Geometry& g) {
       zeroSector(v, g, 0, 0, 9);
       zeroSector(v, g, 0, 1, 1);
     },
     nullptr, false,
     "directory sectors 8 and 16 are stored in an encoding that is not known; they were read as "
     "zeros",
     true},
    {"a file with no sectors", kSmall, Form::kImageDisk,
     [](Tracks t) {
       for (TestTrack& track : t) track.sectors.clear();
     },
     [](Volume v, const Geometry&) { v.clear(); }, nullptr, false, "the file holds no sectors"},
    // 8 tracks of 254 sectors of 8 KiB, nearly all without data, fill the
    // bound; the track after them, where the directory is, cannot be kept.
    {"a volume whose tracks pass 16 MiB", {4, 2, 254, 6, 0}, Form::kTelediskRaw,
     [](Tracks t) { onlyTheHeader(t, 8 * 254 * 32); },
     [](Volume v, const Geometry&) {
       const std::string header = v.substr(0, 8192);
       v.assign(v.size(), '\0');
       v.replace(0, 8192, header);
       v.replace(8, 4, std::string("\0\0\xFE\0", 4));
     },
     nullptr, false, "the file is damaged (the volume's tracks take more than 16 MiB)"},

    // HFE: the sectors found in MFM cells, each a few cells off the byte
    // boundaries of the file.
    {"77 x 2 x 16 x 256, ids from 1, HFE", kHp9114, Form::kHfe},
    {"70 x 1 x 16 x 256, single-sided HFE", {70, 1, 16, 1, 0}, Form::kHfe},
    {"35 x 2 x 9 x 512, HFE", {35, 2, 9, 2, 1}, Form::kHfe},
    {"20 x 2 x 5 x 1024, HFE", {20, 2, 5, 3, 1}, Form::kHfe},
    {"HFE: a data CRC error in the directory reads as recorded", kSmall, Form::kHfe,
     [](Tracks t) { sectorOf(t, 0, 1, 2).flags = 0x02; }, nullptr, nullptr, false,
     "directory sector 17 was recorded with a data error; it is shown as recorded", true},
    {"HFE: an id field with a wrong CRC is no sector", kSmall, Form::kHfe,
     [](Tracks t) { sectorOf(t, 0, 0, 10).flags = 0x80; },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 10); }, nullptr, false,
     "directory sector 9 is not in the file; it was read as zeros", true},
    {"HFE: an id field with no data field reads as zeros", kSmall, Form::kHfe,
     [](Tracks t) { sectorOf(t, 0, 0, 7).data.clear(); },
     [](Volume v, const Geometry& g) { zeroSector(v, g, 0, 0, 7); }, nullptr, false,
     "directory sector 6 was recorded without data; it was read as zeros", true},
    {"HFE: a sector written twice counts once, the first", kSmall, Form::kHfe,
     [](Tracks t) {
       TestSector copy = sectorOf(t, 0, 0, 3);
       copy.data.assign(256, 'D');
       trackOf(t, 0, 0).sectors.push_back(copy);
     },
     nullptr, nullptr, false, "", true},
    {"HFE: a copy with a data error gives way to a whole one after it", kSmall, Form::kHfe,
     [](Tracks t) { badCopyBefore(t, 4); }, nullptr, nullptr, false, "", true},
    {"HFE: data fields with no id field before them are left out", kSmall, Form::kHfe,
     [](Tracks t) {
       for (TestTrack& track : t) {
         TestSector stray = track.sectors[0];
         stray.flags = 0x40;
         stray.data.assign(256, 'M');
         track.sectors.insert(track.sectors.begin() + 1, stray);
         track.sectors.insert(track.sectors.begin(), stray);
       }
     }},
    {"HFE: sectors whose ids say another cylinder, beyond the volume", kSmall, Form::kHfe,
     [](Tracks t) {
       TestTrack other = foreignTrack(4, 1, 16, 1, 17);
       for (TestSector& sector : other.sectors) sector.cylinder = 150;
       t.push_back(other);
       t.push_back(foreignTrack(5, 0, 16, 1, 97));
     }},
    {"HFE: cut short", kSmall, Form::kHfe, nullptr, [](Volume v, const Geometry&) { v.clear(); },
     [](File f) { f.resize(f.size() - 1); }, false,
     "the HFE header places cylinder 3 outside the file"},
    {"HFE: a track list outside the file", kSmall, Form::kHfe, nullptr,
     [](Volume v, const Geometry&) { v.clear(); }, [](File f) { f[19] = 0x40; }, false,
     "the HFE header places its track list outside the file"},
    {"HFE: FM tracks", kSmall, Form::kHfe, nullptr, [](Volume v, const Geometry&) { v.clear(); },
     [](File f) { f[11] = 2; }, false, "its tracks are in FM; only MFM is read"},
    {"HFE: Amiga MFM on track 0", kSmall, Form::kHfe, nullptr,
     [](Volume v, const Geometry&) { v.clear(); },
     [](File f) { f.replace(22, 2, std::string("\0\1", 2)); }, false,
     "track 0 of side 0 is in Amiga MFM; only MFM is read"},
    {"HFE: revision 3", kSmall, Form::kHfe, nullptr, [](Volume v, const Geometry&) { v.clear(); },
     [](File f) { f.replace(0, 8, "HXCHFEV3"); }, false,
     "HFE files of revision 3 (HXCHFEV3) are not read"},
    {"HFE: cut inside its header", kSmall, Form::kHfe, nullptr,
     [](Volume v, const Geometry&) { v.clear(); }, [](File f) { f.resize(20); }, false,
     "the HFE header is cut short"},
    {"HFE: format revision 1", kSmall, Form::kHfe, nullptr,
     [](Volume v, const Geometry&) { v.clear(); }, [](File f) { f[8] = 1; }, false,
     "HFE files of format revision 1 are not read"},
    {"HFE: a cylinder past the first 16 MiB", kSmall, Form::kHfe, nullptr,
     [](Volume v, const Geometry&) { v.clear(); }, [](File f) { f[512 + 13] = '\x80'; }, false,
     "the HFE header places cylinder 3 past the first 16 MiB of the file"},
    {"HFE: three sides", kSmall, Form::kHfe, nullptr, [](Volume v, const Geometry&) { v.clear(); },
     [](File f) { f[10] = 3; }, false, "the HFE header gives 3 sides"},
};

TEST(Container, ReadsTheVolumeBySectorIdsWhateverElseTheFileHolds) {
  for (const Case& c : kCases) {
    const std::string volume =
        c.bigDirectory ? bigDirectoryVolume(c.geometry) : volumeOf(c.geometry);
    std::vector<TestTrack> tracks = volumeTracks(volume, c.geometry);
    if (c.change != nullptr) c.change(tracks);
    std::string file = fileOf(c.form, tracks);
    if (c.damage != nullptr) c.damage(file);
    std::string want = c.handedBack ? file : volume;
    if (c.expect != nullptr) c.expect(want, c.geometry);
    EXPECT_EQ(difference(readVolume(fileOf(c, file)), want), "") << c.what;

    // Listed as the volume it holds lists, and told what it lacks.
    const Listing listing = listingOf(fileOf(c, file));
    EXPECT_EQ(listing.text, listingOf(std::make_unique<ImageBuf>(want)).text) << c.what;
    EXPECT_EQ(listing.note, c.note) << c.what;
    // Never read past the bound and one buffer, whatever the records claim.
    std::size_t furthest = 0;
    const container::OpenedVolume opened =
        container::openVolume(std::make_unique<MeteredBuf>(file, furthest));
    char chunk[65536];
    while (opened.stream->sgetn(chunk, sizeof chunk) > 0) {
    }
    EXPECT_LE(furthest, container::kMaxContainerBytes + 4096) << c.what;
    if (c.handedBack || c.shortReadsFrom != 0) continue;
    EXPECT_EQ(difference(readVolumeBackwards(file, want.size()), want), "")
        << c.what << ", backwards";
  }
}

TEST(Container, LeavesRawImagesAndOtherFilesAsTheyCame) {
  // "IMD " with no end to its text is refused, not handed back.
  const std::string sample = sampleVolumeBytes();
  for (const std::string& file : {sample, std::string("T"), std::string("tD\0\0", 4), std::string(),
                                  std::string("Teledisk")}) {
    EXPECT_EQ(readVolume(file), file);
  }
}

}  // namespace
}  // namespace tamrik::test
