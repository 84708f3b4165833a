// SPDX-License-Identifier: MIT
#include "cli/tamrik.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/platform.h"

namespace tamrik {
namespace {

std::string run(std::vector<const char*> args, int* status) {
  args.insert(args.begin(), "tamrik");
  std::ostringstream out;
  *status = runTamrik(static_cast<int>(args.size()), args.data(), LineWriter{out}, LineWriter{out});
  return out.str();
}

TEST(RunTamrik, RestoresTheCurrentDirectoryOnEveryPath) {
  const std::string before = platform::currentDirectory();
  const std::string sample = TAMRIK_SOURCE_DIR "/samples/sample.lif";
  const std::string samples = TAMRIK_SOURCE_DIR "/samples/*.none";
  const std::string missing = TAMRIK_SOURCE_DIR "/no such folder/x.lif";
  const struct {
    const std::string& argument;
    bool listed;
    int status;
  } cases[] = {{sample, true, 0}, {samples, false, 0}, {missing, false, kExitIncomplete}};
  for (const auto& c : cases) {
    int status = -1;
    const std::string out = run({"-n", c.argument.c_str()}, &status);
    EXPECT_EQ(status, c.status) << c.argument;
    EXPECT_EQ(out.find("End of Directory") != std::string::npos, c.listed) << c.argument;
    EXPECT_EQ(platform::currentDirectory(), before) << c.argument;
  }
}

TEST(RunTamrik, UsageLeavesTheDirectoryAlone) {
  const std::string before = platform::currentDirectory();
  int status = -1;
  EXPECT_EQ(run({"-q", "x"}, &status),
            "Tamrik V0.11\n\nUsage:\n\t tamrik.exe [-f -n -s -b] filename\n\t tamrik.exe -x [-a -e "
            "-p] image [name ...]\n");
  EXPECT_EQ(status, kExitUsage);
  EXPECT_EQ(platform::currentDirectory(), before);
}

}  // namespace
}  // namespace tamrik
