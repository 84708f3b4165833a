// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <sstream>

#include "lif/test_image.h"
#include "listing/directory_table.h"
#include "listing/volume_summary.h"

namespace tamrik {
namespace {

LifDirEntry entry(const std::string& name, uint16_t typeCode, uint32_t start, uint32_t count) {
  LifDirEntry e;
  e.name = test::lifName(name);
  e.typeCode = static_cast<int16_t>(typeCode);
  e.startSector = start;
  e.sectorCount = count;
  e.stamp = "24/03/15 10:45:00";
  e.typeName = "TEXT";
  e.sizeBytes = count * 256;
  return e;
}

// The example volume: UTILS1 and two files.
struct Example {
  std::istringstream unused;
  LifVolume volume{unused};

  Example() {
    volume.label = "UTILS1";
    volume.initStamp = "24/03/15 10:42:07";
    volume.dirLength = 4;
    volume.tracks = 77;
    volume.surfaces = 2;
    volume.sectorsPerTrack = 16;

    LifDirEntry notes = entry("NOTES", 0xE0D1, 6, 3);
    notes.machineTag = "71";
    notes.flagS = true;
    LifDirEntry matrix = entry("MATRIX", 0xE020, 9, 2);
    matrix.typeName = "CALC";
    matrix.machineTag = "41";
    matrix.regCount = 45;
    matrix.stamp = "24/03/16 09:05:31";
    volume.entries = {notes, matrix};
  }

  std::string summary(bool maskControls = false) {
    std::ostringstream out;
    printVolumeSummary(volume, LineWriter{out, maskControls});
    return out.str();
  }

  std::string table(bool sortByName, bool alwaysBytes, bool maskControls = false) {
    std::ostringstream out;
    printDirectoryTable(volume, sortByName, alwaysBytes, LineWriter{out, maskControls});
    return out.str();
  }
};

constexpr char kHeader[] =
    " No.    Name      Type          S        Size      Start  Recs    Date     Time\n";
constexpr char kNotesRow[] =
    "  1.  NOTES       TEXT   71     S       768 bytes     6     3   24/03/15  10:45\n";
constexpr char kMatrixRow[] =
    "  2.  MATRIX      CALC   41              45 regs      9     2   24/03/16  09:05\n";

TEST(VolumeSummary, WorkedExample) {
  EXPECT_EQ(Example().summary(),
            "Volume label: UTILS1\n"
            "Initialized   24/03/15  10:42:07\n"
            "Max 32 entries, unused 30                 Total 630784 bytes, unused 627968\n"
            "\n");
}

TEST(VolumeSummary, EndOfUsedSpaceIsTheLastEntryInDirectoryOrder) {
  Example e;
  EXPECT_EQ(endOfUsedSpace(e.volume), 11U * 256);
  // A used entry that lists nothing still counts.
  e.volume.entries[1].sizeBytes = 0;
  EXPECT_EQ(endOfUsedSpace(e.volume), 11U * 256);
  // A lower file later in the directory decides, not the highest one.
  std::swap(e.volume.entries[0], e.volume.entries[1]);
  EXPECT_EQ(endOfUsedSpace(e.volume), 9U * 256);
  e.volume.entries.clear();
  EXPECT_EQ(endOfUsedSpace(e.volume), 0U);
}

TEST(VolumeSummary, CapacityLineArithmeticIs32Bit) {
  const struct {
    uint32_t tracks, surfaces, sectors, dirLength, used, lastStart, lastCount;
    const char* line;
  } cases[] = {
      {77, 2, 16, 4, 1, 2460, 10,
       "Max 32 entries, unused 31                 Total 630784 bytes, unused -1536"},
      {1024, 16, 1024, 1, 1, 9, 2,
       "Max 8 entries, unused 7                   Total 0 bytes, unused -2816"},
      {1, 1, 1, 0xFFFFFFFF, 1, 0, 1,
       "Max 4294967288 entries, unused 4294967287 Total 256 bytes, unused 0"},
      // The capacity wraps to 0, and the scan still reads the slots.
      {1, 1, 1, 0x20000000, 3, 0, 1,
       "Max 0 entries, unused 4294967293          Total 256 bytes, unused 0"},
      {0x800000, 1, 1, 1, 0, 0, 0,
       "Max 8 entries, unused 8                   Total 2147483648 bytes, unused "
       "-2147483648"},
  };
  for (const auto& c : cases) {
    Example e;
    e.volume.tracks = c.tracks;
    e.volume.surfaces = c.surfaces;
    e.volume.sectorsPerTrack = c.sectors;
    e.volume.dirLength = c.dirLength;
    e.volume.entries.assign(c.used, entry("X", 1, c.lastStart, c.lastCount));
    const std::string summary = e.summary();
    const std::size_t start = summary.find("Max");
    EXPECT_EQ(summary.substr(start, summary.find('\n', start) - start), c.line);
  }
}

TEST(VolumeSummary, LabelIsCutAtItsFirstNul) {
  const struct {
    std::string label;
    bool mask;
    const char* line;
  } cases[] = {
      {std::string("\0ABCDE", 6), false, "Volume label: \n"},
      {std::string("AB\0CD\0", 6), false, "Volume label: AB\n"},
      {"AB    ", false, "Volume label: AB    \n"},
      {"A\x1b[2J", false, "Volume label: A\x1b[2J\n"},
      {"A\x1b[2J", true, "Volume label: A?[2J\n"},
      {std::string("\x7f\x01\0\x1b  ", 6), true, "Volume label: ??\n"},
  };
  for (const auto& c : cases) {
    Example e;
    e.volume.label = c.label;
    const std::string summary = e.summary(c.mask);
    EXPECT_EQ(summary.substr(0, summary.find('\n') + 1), c.line);
  }
}

TEST(DirectoryTable, WorkedExampleInDirectoryOrder) {
  EXPECT_EQ(Example().table(false, false),
            std::string(kHeader) + kNotesRow + kMatrixRow + "End of Directory\n");
}

TEST(DirectoryTable, AlwaysBytesShowsByteSizes) {
  EXPECT_EQ(Example().table(false, true),
            std::string(kHeader) + kNotesRow +
                "  2.  MATRIX      CALC   41             512 bytes     9     2   "
                "24/03/16  09:05\n"
                "End of Directory\n");
}

TEST(DirectoryTable, SortByNameRenumbersRows) {
  Example e;
  EXPECT_EQ(e.table(true, false),
            std::string(kHeader) +
                "  1.  MATRIX      CALC   41              45 regs      9     2   "
                "24/03/16  09:05\n"
                "  2.  NOTES       TEXT   71     S       768 bytes     6     3   "
                "24/03/15  10:45\n"
                "End of Directory\n");
  // Only the rows are in name order; the entries keep directory order.
  EXPECT_EQ(e.volume.entries.front().name, test::lifName("NOTES"));
}

TEST(DirectoryTable, SortByNameComparesWholeNamesAsUnsignedBytes) {
  // Names alike in their first eight bytes, and bytes above 0x7F.
  const std::string names[] = {
      "\xE9TUDE", "ABCDEFGHIK", "abc",        "ABCDEFGHIJ", "ABCDEFGH", std::string("AB\0", 3),
      "AB",       "\x80",       "zzzzzzzzzz", " ZZ",        "0"};
  const std::string sorted[] = {
      " ZZ",        "0",   std::string("AB\0", 3), "AB",   "ABCDEFGH", "ABCDEFGHIJ",
      "ABCDEFGHIK", "abc", "zzzzzzzzzz",           "\x80", "\xE9TUDE"};
  Example e;
  e.volume.entries.clear();
  for (const std::string& name : names) e.volume.entries.push_back(entry(name, 1, 1, 1));
  std::istringstream rows(e.table(true, false));
  std::string row;
  std::getline(rows, row);
  for (const std::string& name : sorted) {
    ASSERT_TRUE(std::getline(rows, row));
    EXPECT_EQ(row.substr(6, 10), test::lifName(name)) << row;
  }
}

TEST(DirectoryTable, SortByNameKeepsDirectoryOrderAmongEqualNames) {
  // More than 16: below that, the standard sorts insert in order and an
  // unstable sort would pass by chance.
  Example e;
  e.volume.entries.clear();
  for (uint32_t i = 0; i < 40; ++i) {
    e.volume.entries.push_back(entry(i % 3 == 0 ? "OTHER" : "SAME", 1, 100 + i, 1));
  }
  std::istringstream rows(e.table(true, false));
  std::string row;
  std::getline(rows, row);
  for (const char* name : {"OTHER", "SAME"}) {
    for (uint32_t i = 0; i < 40; ++i) {
      if ((i % 3 == 0) != (std::string(name) == "OTHER")) continue;
      ASSERT_TRUE(std::getline(rows, row));
      EXPECT_EQ(row.substr(6, 10) + row.substr(49, 6),
                test::lifName(name) + "   " + std::to_string(100 + i))
          << row;
    }
  }
}

TEST(DirectoryTable, NoListedEntries) {
  Example e;
  for (LifDirEntry& x : e.volume.entries) {
    x.sizeBytes = 0;
    x.regCount = 45;
  }
  EXPECT_EQ(e.table(false, false), std::string(kHeader) + "End of Directory\n");
  e.volume.entries.clear();
  EXPECT_EQ(e.table(true, true), std::string(kHeader) + "End of Directory\n");
}

TEST(DirectoryTable, WideFieldsShiftTheRowInsteadOfBeingCut) {
  Example e;
  LifDirEntry wide = entry("WIDE", 0xE040, 1234567, 7654321);
  wide.typeName = "-32768";
  wide.machineTag = "71/41";
  wide.flagS = wide.flagP = wide.flagA = true;
  wide.sizeBytes = 4294836225;
  wide.stamp = "99/99/99 99:99:99";
  e.volume.entries = {wide};
  EXPECT_EQ(e.table(false, true).substr(sizeof(kHeader) - 1),
            "  1.  WIDE        -32768 71/41  SPA4294836225 bytes12345677654321   "
            "99/99/99  99:99\n"
            "End of Directory\n");
}

TEST(DirectoryTable, NumbersFillTheirColumnsThenWidenThem) {
  const struct {
    uint32_t size, start, count;
    const char* numbers;  // the row from the size to the count
  } cases[] = {
      {1, 0, 1, "       1 bytes     0     1"},
      {99999999, 999999, 999999, "99999999 bytes999999999999"},
      {100000000, 1000000, 1000000, "100000000 bytes10000001000000"},
      {4294967295U, 4294967295U, 4294967295U, "4294967295 bytes42949672954294967295"},
  };
  for (const auto& c : cases) {
    Example e;
    LifDirEntry row = entry("WIDE", 1, c.start, c.count);
    row.sizeBytes = c.size;
    e.volume.entries = {row};
    EXPECT_EQ(e.table(false, true).substr(sizeof(kHeader) - 1),
              std::string("  1.  WIDE        TEXT             ") + c.numbers +
                  "   24/03/15  10:45\nEnd of Directory\n");
  }
}

TEST(DirectoryTable, RowNumbersCountListedEntriesOnly) {
  Example e;
  e.volume.entries.clear();
  for (int i = 0; i < 1001; ++i) {
    e.volume.entries.push_back(entry("F", 1, 1, i % 2 == 0 ? 1 : 0));
  }
  const std::string table = e.table(false, false);
  EXPECT_NE(table.find("\n501.  F "), std::string::npos);
  EXPECT_EQ(table.find("\n502.  F "), std::string::npos);
}

TEST(DirectoryTable, NamesAreWrittenWhole) {
  Example e;
  e.volume.entries = {entry("", 1, 1, 1)};
  e.volume.entries[0].name = std::string("A\0B\x1b\x7f     ", 10);
  EXPECT_NE(e.table(false, false).find(std::string("  1.  A\0B\x1b\x7f       TEXT", 22)),
            std::string::npos);
  EXPECT_NE(e.table(false, false, true).find("  1.  A?B??       TEXT"), std::string::npos);
}

}  // namespace
}  // namespace tamrik
