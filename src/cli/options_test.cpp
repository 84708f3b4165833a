// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tamrik {
namespace {

std::optional<Options> parse(std::vector<const char*> args) {
  args.insert(args.begin(), "tamrik");
  return parseOptions(static_cast<int>(args.size()), args.data());
}

TEST(ParseOptions, LettersSetFlags) {
  const struct {
    std::vector<const char*> args;
    bool name, full, sort, bytes;
  } cases[] = {
      {{"x.lif"}, false, false, false, false},
      {{"-", "x.lif"}, false, false, false, false},
      {{"-n", "x.lif"}, true, false, false, false},
      {{"-f", "x.lif"}, true, true, false, false},
      {{"-f", "-n", "x.lif"}, true, true, false, false},
      {{"-ns", "x.lif"}, true, false, true, false},
      {{"-sn", "x.lif"}, true, false, true, false},
      {{"-n", "-s", "x.lif"}, true, false, true, false},
      {{"-fsb", "x.lif"}, true, true, true, true},
      {{"-bbb", "-b", "x.lif"}, false, false, false, true},
      {{"x.lif", "-s", "-x"}, false, false, false, false},
  };
  for (const auto& c : cases) {
    const auto options = parse(c.args);
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(options->nameHeading, c.name);
    EXPECT_EQ(options->fullPathHeading, c.full);
    EXPECT_EQ(options->sortByName, c.sort);
    EXPECT_EQ(options->alwaysBytes, c.bytes);
    EXPECT_EQ(options->fileArgument, "x.lif");
  }
}

TEST(ParseOptions, UsageCases) {
  const std::vector<std::vector<const char*>> cases = {
      {},
      {"-s"},
      {"-n", "-b"},
      {"-n", "-x", "x.lif"},
      {"-nx", "x.lif"},
      {"-F", "x.lif"},
      {"--", "x.lif"},
      {"-n-", "x.lif"},
      {"-x.lif"},
      {"-x"},
      {"-xs", "x.lif"},
      {"-x", "-b", "x.lif"},
      {"-xf", "x.lif"},
      {"-xae", "x.lif"},
      {"-a", "x.lif"},
      {"-e", "x.lif"},
      {"-np", "x.lif"},
      {"-xq", "x.lif"},
  };
  for (const auto& args : cases) EXPECT_FALSE(parse(args).has_value()) << args.size();
}

TEST(ParseOptions, ExtractLettersAndNames) {
  const struct {
    std::vector<const char*> args;
    bool text, entry, out;
    std::vector<std::string> names;
  } cases[] = {
      {{"-x", "x.lif"}, false, false, false, {}},
      {{"-xa", "x.lif", "A", "B*"}, true, false, false, {"A", "B*"}},
      {{"-x", "-e", "-p", "x.lif", "-a"}, false, true, true, {"-a"}},
      {{"-pax", "x.lif", "x.lif"}, true, false, true, {"x.lif"}},
  };
  for (const auto& c : cases) {
    const auto options = parse(c.args);
    ASSERT_TRUE(options.has_value());
    EXPECT_TRUE(options->extract);
    EXPECT_EQ(options->asText, c.text);
    EXPECT_EQ(options->withEntry, c.entry);
    EXPECT_EQ(options->toStdout, c.out);
    EXPECT_EQ(options->fileArgument, "x.lif");
    EXPECT_EQ(options->names, c.names);
  }
}

TEST(ParseOptions, FirstNonOptionIsTheFileArgument) {
  const auto options = parse({"-n", "a.lif", "b.lif"});
  ASSERT_TRUE(options.has_value());
  EXPECT_EQ(options->fileArgument, "a.lif");
}

// The banner is the project version as major "." two-digit minor (0.8 is
// V0.08), so that a new release cannot keep the banner of the last one.
TEST(UsageText, BannerShowsTheProjectVersion) {
  const std::string version = TAMRIK_PROJECT_VERSION;
  const auto dot = version.find('.');
  ASSERT_NE(dot, std::string::npos) << version;
  const std::string major = version.substr(0, dot);
  std::string minor = version.substr(dot + 1, version.find('.', dot + 1) - dot - 1);
  if (minor.size() < 2) minor.insert(0, 2 - minor.size(), '0');
  EXPECT_EQ(std::string(kUsageLines[0]), "Tamrik V" + major + "." + minor);
}

}  // namespace
}  // namespace tamrik
