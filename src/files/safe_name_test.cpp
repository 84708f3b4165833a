// SPDX-License-Identifier: MIT
#include "files/safe_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lif/test_image.h"

namespace tamrik::files {
namespace {

using namespace std::string_literals;

TEST(SafeName, EachRule) {
  const struct {
    std::string lif;
    std::string safe;
  } cases[] = {
      {"README    ", "README"},
      {" A B      ", " A B"},
      {"../../x   ", ".._.._x"},
      {"a/b\\c:d   ", "a_b_c_d"},
      {"*?\"<>|    ", "______"},
      {"\x01"
       "AB\x7F\x80\xFF"
       "\t\x1F"
       "C",
       "_AB_____C"},
      {"          ", "_"},
      {"", "_"},
      {".         ", "_"},
      {"...       ", "_"},
      {"A.        ", "A_"},
      {"A.B.      ", "A.B_"},
      {"CON       ", "CON_"},
      {"con       ", "con_"},
      {"Con.X     ", "Con_.X"},
      {"NUL .A    ", "NUL_ .A"},
      {"PRN", "PRN_"},
      {"aux.txt", "aux_.txt"},
      {"COM1      ", "COM1_"},
      {"lpt9.A    ", "lpt9_.A"},
      {"CONOUT$   ", "CONOUT$_"},
      {"COM0      ", "COM0"},
      {"CONX      ", "CONX"},
      {"XCON      ", "XCON"},
      {"COM10     ", "COM10"},
      {".CON      ", ".CON"},
  };
  for (const auto& c : cases) EXPECT_EQ(safeName(c.lif), c.safe) << c.lif;
}

TEST(SafeName, EqualNamesAreNumberedInDirectoryOrder) {
  const struct {
    std::vector<std::string> lif;
    std::vector<std::string> safe;
  } cases[] = {
      {{"README", "readme", "README", "X"}, {"README", "readme~2", "README~3", "X"}},
      {{"A", "A~2", "a"}, {"A", "A~2", "a~3"}},
      {{"A/B", "A:B", "A_B"}, {"A_B", "A_B~2", "A_B~3"}},
      {{"CON", "con_"}, {"CON_", "con_~2"}},
      // An entry of size zero is not listed: it takes no name.
      {{"A", "", "a"}, {"A", "", "a~2"}},
      {{"", "A", "a"}, {"", "A", "a~2"}},
  };
  for (const auto& c : cases) {
    std::vector<LifDirEntry> entries(c.lif.size());
    for (std::size_t i = 0; i < c.lif.size(); ++i) {
      entries[i].name = FileName(test::lifName(c.lif[i]));
      entries[i].sizeBytes = c.lif[i].empty() ? 0 : 256;
    }
    EXPECT_EQ(safeNames(entries), c.safe);
  }
  EXPECT_EQ(targetName("con_", true), "con_.txt");
  EXPECT_EQ(targetName("con_", false), "con_");
}

}  // namespace
}  // namespace tamrik::files
