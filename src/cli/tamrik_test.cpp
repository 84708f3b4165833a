// SPDX-License-Identifier: MIT
#include "cli/tamrik.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

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
  for (const std::string& argument : {sample, samples, missing}) {
    int status = -1;
    const std::string out = run({"-n", argument.c_str()}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.empty(), argument != sample) << argument;
    EXPECT_EQ(platform::currentDirectory(), before) << argument;
  }
}

TEST(RunTamrik, UsageLeavesTheDirectoryAlone) {
  const std::string before = platform::currentDirectory();
  int status = -1;
  EXPECT_EQ(run({"-q", "x"}, &status),
            "Tamrik V0.10\n\nUsage:\n\t tamrik.exe [-f -n -s -b] filename\n\t tamrik.exe -x [-a -e -p] image [name ...]\n");
  EXPECT_EQ(status, kExitUsage);
  EXPECT_EQ(platform::currentDirectory(), before);
}

}  // namespace
}  // namespace tamrik
