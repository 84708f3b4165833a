// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "cli/platform.h"

namespace tamrik::platform {
namespace {

TEST(ResolveArgument, FoldsThePathByItsText) {
  const std::string cwd = currentDirectory();
  ASSERT_FALSE(cwd.empty());
  const struct {
    std::string argument;
    std::string folderText;
    std::string folderPath;
    std::string filePart;
  } cases[] = {
      {"/a/b/c.lif", "/a/b", "/a/b", "c.lif"},
      {"/a//b/./c.lif", "/a/b", "/a/b", "c.lif"},
      {"/a/b/../*.lif", "/a", "/a", "*.lif"},
      {"/x.lif", "", "/", "x.lif"},
      {"/../../x.lif", "", "/", "x.lif"},
      {"/a/b/..", "", "/", "a"},
      {"/a/b/.", "/a", "/a", "b"},
      {"x.lif", cwd == "/" ? "" : cwd, cwd, "x.lif"},
  };
  for (const auto& c : cases) {
    ResolvedArgument resolved;
    ASSERT_TRUE(resolveArgument(c.argument, resolved)) << c.argument;
    EXPECT_EQ(resolved.folderText, c.folderText) << c.argument;
    EXPECT_EQ(resolved.folderPath, c.folderPath) << c.argument;
    EXPECT_EQ(resolved.filePart, c.filePart) << c.argument;
  }
}

TEST(ResolveArgument, RefusesArgumentsWithoutALastComponent) {
  for (const char* argument : {"", "/", "dir/", "/a/..", "//", "/.", "/a/b/../.."}) {
    ResolvedArgument resolved;
    EXPECT_FALSE(resolveArgument(argument, resolved)) << argument;
  }
}

}  // namespace
}  // namespace tamrik::platform
