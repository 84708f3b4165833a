// SPDX-License-Identifier: MIT
// Runs the built program as a user would: in a folder of images, with
// command lines, checking its whole standard output and exit status.
//
// TAMRIK_PROGRAM is the command that starts the program; it may carry a
// prefix such as an emulator. With TAMRIK_EXPECT_CRLF set, every line must
// end in CR LF, and the CRs are dropped before comparing. With
// TAMRIK_WINDOWS_PATHS set, the program is a Windows build under Wine: it
// sees this machine's folders through drive Z: and lists a folder in the
// order of its names.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "container/test_container.h"
#include "lif/test_image.h"
#include "test_folder.h"

namespace tamrik {
namespace {

bool expectCrLf() {
  return std::getenv("TAMRIK_EXPECT_CRLF") != nullptr;
}

bool windowsPaths() {
  return std::getenv("TAMRIK_WINDOWS_PATHS") != nullptr;
}

// A path of this machine as the program takes and shows it.
std::string shownPath(const std::string& path) {
  if (!windowsPaths()) return path;
  std::string shown = "Z:" + path;
  for (char& c : shown) {
    if (c == '/') c = '\\';
  }
  return shown;
}

std::string upperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class Folder : public test::TestFolder {
 public:
  Folder() : TestFolder("tamrik_e2e") {}

  // Names in the folder matching a pattern, in the order the program lists
  // them in: the directory's own, or name order for a Windows build. The
  // match is a regular expression made from the pattern, not the program's
  // own matcher; Windows matches without regard to case.
  std::vector<std::string> matches(const std::string& sub, const std::string& pattern) const {
    std::string expression;
    for (char c : pattern) {
      if (c == '*') {
        expression += ".*";
      } else if (c == '?') {
        expression += '.';
      } else if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
        expression += c;
      } else {
        expression += std::string("\\") + c;
      }
    }
    const std::regex whole(expression, windowsPaths() ? std::regex::icase : std::regex::ECMAScript);
    std::vector<std::string> names;
    DIR* dir = ::opendir(at(sub).c_str());
    while (const dirent* entry = ::readdir(dir)) {
      if (std::regex_match(entry->d_name, whole)) names.push_back(entry->d_name);
    }
    ::closedir(dir);
    if (windowsPaths()) {
      std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return upperCase(a) < upperCase(b);
      });
    }
    return names;
  }

  test::Outcome run(const std::vector<std::string>& args, const std::string& prefix = "") const {
    test::Outcome result = TestFolder::run(args, prefix);
    if (expectCrLf()) result.out = withoutCr(result.out);
    return result;
  }

 private:
  static std::string withoutCr(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') {
        EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
      }
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      out += text[i];
    }
    return out;
  }
};

// A line on standard error, ended as the platform ends lines of text.
std::string saidLine(const std::string& text) {
  return "tamrik: " + text + (expectCrLf() ? "\r\n" : "\n");
}

const std::string kUsage =
    "Tamrik V0.11\n\nUsage:\n\t tamrik.exe [-f -n -s -b] filename\n\t tamrik.exe -x [-a -e -p] "
    "image [name ...]\n";
const std::string kRefusal = "Unknown or corrupt disk image\n\n";

using test::fileEntry;

// ZEBRA sorts after ALPHA; ALPHA counts registers.
std::string sampleImage() {
  test::TestImage image;
  image.label = "SAMPLE";
  image.entries = {fileEntry("ZEBRA", 0x0001, 4, 2), fileEntry("ALPHA", 0xE020, 6, 1, 0x00200000)};
  image.holdsFiles = true;
  return image.bytes();
}

const std::string kSampleSummary =
    "Volume label: SAMPLE\n"
    "Initialized   24/03/15  10:42:07\n"
    "Max 8 entries, unused 6                   Total 630784 bytes, unused 628992\n"
    "\n"
    " No.    Name      Type          S        Size      Start  Recs    Date     Time\n";
const std::string kZebraRow =
    "ZEBRA       TEXT                  512 bytes     4     2   24/03/15  10:45\n";
const std::string kAlphaRegs =
    "ALPHA       CALC   41              32 regs      6     1   24/03/15  10:45\n";
const std::string kAlphaBytes =
    "ALPHA       CALC   41             256 bytes     6     1   24/03/15  10:45\n";

std::string row(int number, const std::string& rest) {
  return "  " + std::to_string(number) + ".  " + rest;
}

const std::string kSampleListing =
    kSampleSummary + row(1, kZebraRow) + row(2, kAlphaRegs) + "End of Directory\n";

TEST(EndToEnd, UsageText) {
  Folder folder;
  folder.write("a.lif", sampleImage());
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"-s"},
      {"-n", "-x", "a.lif"},
      {"-nx", "a.lif"},
      {"-F", "a.lif"},
      {"-x"},
      {"-xae", "a.lif"},
      {"-a", "a.lif"},
      {"-p", "a.lif"},
      {"-xb", "a.lif"},
      {""},
      {"sub/"},
      {"-n", "-b"},
  };
  for (const auto& args : cases) {
    const test::Outcome r = folder.run(args);
    EXPECT_EQ(r.out, kUsage) << args.size();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
  }
}

TEST(EndToEnd, OneImageWithOptions) {
  Folder folder;
  folder.write("a.lif", sampleImage());
  const std::string heading = "Content of a.lif\n\n";
  const std::string sorted =
      kSampleSummary + row(1, kAlphaRegs) + row(2, kZebraRow) + "End of Directory\n";
  const std::string bytes =
      kSampleSummary + row(1, kZebraRow) + row(2, kAlphaBytes) + "End of Directory\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"a.lif"}, kSampleListing},
      {{"-", "a.lif"}, kSampleListing},
      {{"a.lif", "-x", "-s"}, kSampleListing},
      {{"a.lif", "b.lif"}, kSampleListing},
      {{"-n", "a.lif"}, heading + kSampleListing},
      {{"-ns", "a.lif"}, heading + sorted},
      {{"-sn", "a.lif"}, heading + sorted},
      {{"-n", "-s", "a.lif"}, heading + sorted},
      {{"-b", "a.lif"}, bytes},
      {{"-f", "a.lif"}, "Content of " + shownPath(folder.path()) + "\\a.lif\n\n" + kSampleListing},
      {{"-f", "-n", "a.lif"},
       "Content of " + shownPath(folder.path()) + "\\a.lif\n\n" + kSampleListing},
      {{"-n", "./x/../a.lif"}, heading + kSampleListing},
  };
  for (const auto& c : cases) {
    const test::Outcome r = folder.run(c.args);
    EXPECT_EQ(r.out, c.out) << c.args[0];
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
  }
}

// More equal names than a sort's small-range insertion sort handles (16 in
// libstdc++): -s must keep them in directory order on every platform.
TEST(EndToEnd, SortKeepsDirectoryOrderAmongManyEqualNames) {
  test::TestImage image;
  image.dirLength = 6;
  image.holdsFiles = true;
  image.entries.push_back(fileEntry("ZZZ", 0x0001, 100, 1));
  std::vector<std::pair<std::string, std::string>> expected = {{"AAA", "200"}};
  for (uint32_t i = 0; i < 40; ++i) {
    if (i == 20) image.entries.push_back(fileEntry("AAA", 0x0001, 200, 1));
    image.entries.push_back(fileEntry("SAME", 0x0001, 10 + i, 1));
    expected.emplace_back("SAME", std::to_string(10 + i));
  }
  expected.emplace_back("ZZZ", "100");
  Folder folder;
  folder.write("same.lif", image.bytes());
  const test::Outcome r = folder.run({"-s", "same.lif"});
  // Name and Start of each row: "  1.  SAME        TEXT   256 bytes    10 ..."
  std::vector<std::pair<std::string, std::string>> rows;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string number, name, type, size, unit, start;
    words >> number >> name >> type >> size >> unit >> start;
    if (!number.empty() && number.back() == '.' && type == "TEXT") rows.emplace_back(name, start);
  }
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(r.status, 0);
}

TEST(EndToEnd, RelativeFolderPartUnderFullPathHeading) {
  Folder folder;
  folder.mkdir("disks");
  folder.write("disks/a.lif", sampleImage());
  EXPECT_EQ(folder.run({"-f", "disks/a.lif"}).out,
            "Content of " + shownPath(folder.path() + "/disks") + "\\a.lif\n\n" + kSampleListing);
  EXPECT_EQ(folder.run({"-n", "disks/a.lif"}).out, "Content of a.lif\n\n" + kSampleListing);
}

TEST(EndToEnd, PatternListsEveryMatchWithOneEmptyLineBetween) {
  Folder folder;
  folder.mkdir("disks");
  folder.write("disks/good1.lif", sampleImage());
  folder.write("disks/bad.lif", "not a LIF image");
  folder.write("disks/good2.lif", sampleImage());
  folder.write("disks/notes.txt", sampleImage());
  folder.mkdir("disks/dir.lif");

  std::string expected;
  for (const std::string& name : folder.matches("disks", "*.lif")) {
    if (!expected.empty()) expected += "\n";
    expected += "Content of " + name + "\n\n";
    if (name == "bad.lif") expected += kRefusal;
    if (name.rfind("good", 0) == 0) expected += kSampleListing;
  }
  const test::Outcome r = folder.run({"-n", "disks/*.lif"});
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.status, 0);

  std::string bare;
  for (std::size_t i = 0; i < folder.matches("disks", "good?.lif").size(); ++i) {
    if (!bare.empty()) bare += "\n";
    bare += kSampleListing;
  }
  EXPECT_EQ(folder.run({"disks/good?.lif"}).out, bare);
}

// Names that hold '*' themselves, which Windows does not allow.
TEST(EndToEnd, StarMatchesNamesThatHoldAStar) {
  if (windowsPaths()) GTEST_SKIP() << "no '*' in Windows names";
  Folder folder;
  folder.mkdir("s");
  for (const char* name : {"*a.lif", "b.lif", "a*b", "**"})
    folder.write(std::string("s/") + name, "");
  const struct {
    const char* pattern;
    std::set<std::string> names;
  } cases[] = {
      {"*", {".", "..", "*a.lif", "b.lif", "a*b", "**"}},
      {"*.lif", {"*a.lif", "b.lif"}},
      {"a*", {"a*b"}},
      {"**", {".", "..", "*a.lif", "b.lif", "a*b", "**"}},
      {"*a*", {"*a.lif", "a*b"}},
      {"?*", {".", "..", "*a.lif", "b.lif", "a*b", "**"}},
  };
  for (const auto& c : cases) {
    const test::Outcome r = folder.run({"-n", std::string("s/") + c.pattern});
    std::set<std::string> listed;
    for (std::size_t at = 0; (at = r.out.find("Content of ", at)) != std::string::npos;) {
      at += 11;
      listed.insert(r.out.substr(at, r.out.find('\n', at) - at));
    }
    EXPECT_EQ(listed, c.names) << c.pattern;
    const std::vector<std::string> matched = folder.matches("s", c.pattern);
    EXPECT_EQ(std::set<std::string>(matched.begin(), matched.end()), c.names) << c.pattern;
    EXPECT_EQ(r.status, 0);
  }
}

TEST(EndToEnd, FolderItselfMatchesAStar) {
  Folder folder;
  folder.mkdir("empty");
  std::string expected;
  for (const std::string& name : folder.matches("empty", "*")) {
    if (!expected.empty()) expected += "\n";
    expected += "Content of " + name + "\n\n";
  }
  EXPECT_NE(expected, "");
  EXPECT_EQ(folder.run({"-n", "empty/*"}).out, expected);
}

// A pattern that finds nothing is an answer; a name that names nothing is
// a mistake, said with the system's reason.
TEST(EndToEnd, NothingMatches) {
  Folder folder;
  folder.write("a.lif", sampleImage());
  const struct {
    std::vector<std::string> args;
    std::string err;
    int status;
  } cases[] = {
      {{"-n", "*.dat"}, "", 0},
      {{"-n", "dis*/a.lif"}, "", 0},
      {{"-n", "nosuch/a.lif"}, saidLine("nosuch/a.lif: No such file or directory"), 3},
      {{"missing.lif"}, saidLine("missing.lif: No such file or directory"), 3},
  };
  for (const auto& c : cases) {
    const test::Outcome r = folder.run(c.args);
    EXPECT_EQ(r.out, "") << c.args.back();
    EXPECT_EQ(r.err, c.err) << c.args.back();
    EXPECT_EQ(r.status, c.status) << c.args.back();
  }
}

TEST(EndToEnd, AbsoluteArgumentsAreFoldedBeforeTheHeading) {
  Folder folder;
  folder.mkdir("disks");
  folder.write("disks/a.lif", sampleImage());
  const std::string heading = "Content of " + shownPath(folder.path() + "/disks") + "\\a.lif\n\n";
  for (const std::string& argument :
       {folder.path() + "/disks/a.lif", folder.path() + "/disks/../disks/./a.lif",
        folder.path() + "/disks/a*"}) {
    const test::Outcome r = folder.run({"-f", shownPath(argument)});
    EXPECT_EQ(r.out, heading + kSampleListing) << argument;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
  }
}

TEST(EndToEnd, QuestionMarkStandsForOneCharacter) {
  Folder folder;
  for (const char* name : {"a.lif", "ab.lif", "b.lif"}) folder.write(name, sampleImage());
  std::string expected;
  for (const std::string& name : folder.matches("", "?.lif")) {
    if (!expected.empty()) expected += "\n";
    expected += "Content of " + name + "\n\n" + kSampleListing;
  }
  EXPECT_EQ(folder.matches("", "?.lif").size(), 2u);
  const test::Outcome r = folder.run({"-n", "?.lif"});
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.err, "");
}

// A name outside Windows' ANSI code pages, found by a pattern and given
// whole; tamrik.exe needs its UTF-8 manifest for both.
TEST(EndToEnd, NameOutsideTheAnsiCodePage) {
  Folder folder;
  folder.mkdir("d");
  const std::string name = "sn\u2603w\u00e9.lif";
  folder.write("d/" + name, sampleImage());
  for (const std::string& argument : {std::string("d/*.lif"), "d/" + name}) {
    const test::Outcome r = folder.run({"-n", argument});
    EXPECT_EQ(r.out, "Content of " + name + "\n\n" + kSampleListing) << argument;
    EXPECT_EQ(r.err, "");
  }
}

TEST(EndToEnd, FolderNamedByTheArgumentGetsAHeadingOnly) {
  Folder folder;
  folder.mkdir("disks");
  folder.write("disks/a.lif", sampleImage());
  EXPECT_EQ(folder.run({"disks"}).out, "");
  EXPECT_EQ(folder.run({"-n", "disks"}).out, "Content of disks\n\n");
  const test::Outcome r = folder.run({"-f", "disks"});
  EXPECT_EQ(r.out, "Content of " + shownPath(folder.path()) + "\\disks\n\n");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, saidLine("disks: Is a directory"));
}

// The root shows as nothing before the backslash, or as the bare drive on
// Windows, which must still search the drive's root and not its own
// current directory.
TEST(EndToEnd, FolderInTheRootShowsTheBareRoot) {
  Folder folder;
  const std::size_t slash = folder.path().find('/', 1);
  ASSERT_NE(slash, std::string::npos) << folder.path();
  const std::string top = folder.path().substr(1, slash - 1);
  const test::Outcome r = folder.run({"-f", shownPath("/" + top)});
  EXPECT_EQ(r.out, "Content of " + std::string(windowsPaths() ? "Z:" : "") + "\\" + top + "\n\n");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, saidLine(top + ": Is a directory"));
}

TEST(EndToEnd, WildcardInTheFolderPartMatchesNothing) {
  Folder folder;
  folder.mkdir("disks");
  folder.write("disks/a.lif", sampleImage());
  for (const char* argument : {"dis*/a.lif", "d?sks/a.lif", "*/*.lif"}) {
    const test::Outcome r = folder.run({"-n", argument});
    EXPECT_EQ(r.out, "") << argument;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
  }
}

TEST(EndToEnd, FileNameThatLooksLikeOptions) {
  Folder folder;
  folder.write("-s.lif", sampleImage());
  EXPECT_EQ(folder.run({"-s.lif"}).out, kUsage);
  EXPECT_EQ(folder.run({"./-s.lif"}).out, kSampleListing);
}

// Images beyond the reach of 32-bit file offsets, as sparse files. Without
// large-file support the program cannot open them, or reads a directory at
// its offset cut to 32 bits: the decoy at 512 instead of the one at 4 GiB +
// 512.
TEST(EndToEnd, ImagesAndDirectoriesPast2And4GiB) {
  constexpr int64_t kGiB = int64_t{1} << 30;
  Folder folder;
  const std::string sample = sampleImage();  // header, a free sector, the directory
  std::string farHeader = sample.substr(0, 256);
  test::putBE32(farHeader, 8, (uint32_t{1} << 24) + 2);
  test::TestImage decoy;
  decoy.entries = {fileEntry("DECOY", 0x0001, 4, 2)};
  const std::string decoyDirectory = decoy.bytes().substr(512);
  const struct {
    const char* name;
    std::vector<std::pair<int64_t, std::string>> pieces;
    int64_t size;
    std::string out;
    std::string err = "";
  } cases[] = {
      {"over2.lif", {{0, sample}}, 3 * kGiB, kSampleListing},
      {"over4.lif", {{0, sample}}, 5 * kGiB, kSampleListing},
      {"far.lif",
       {{0, farHeader}, {512, decoyDirectory}, {4 * kGiB + 512, sample.substr(512)}},
       0,
       kSampleListing},
      {"cut.lif",
       {{0, farHeader}, {512, decoyDirectory}},
       0,
       kRefusal,
       saidLine("cut.lif: the directory starts at sector 16777218, past the end of the image")},
  };
  for (const auto& c : cases) {
    const int fd = ::open(folder.at(c.name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << c.name;
    for (const auto& [offset, bytes] : c.pieces) {
      ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), offset), ssize_t(bytes.size())) << c.name;
    }
    if (c.size > 0) {
      ASSERT_EQ(::ftruncate(fd, c.size), 0) << c.name;
    }
    ::close(fd);
    const test::Outcome r = folder.run({c.name});
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    ::unlink(folder.at(c.name).c_str());
  }
}

// The program with its standard output on a pipe whose reader has gone
// already, SIGPIPE ignored or not. The status of a run killed by signal N
// is 128 + N, as a shell shows it. Started with posix_spawn: a fork of a
// test run under qemu-user can hang.
test::Outcome runIntoClosedPipe(const Folder& folder, const std::vector<std::string>& args,
                                bool ignoreSigpipe) {
  int ends[2];
  if (::pipe(ends) != 0) return {};
  ::close(ends[0]);
  const std::string errFile = folder.at(".stderr");
  const std::string line = std::string(ignoreSigpipe ? "trap '' PIPE; " : "") +
                           folder.command(args) + " 2>" + test::shellQuoted(errFile);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, ends[1]);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  const char* argv[] = {"sh", "-c", line.c_str(), nullptr};
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, "/bin/sh", &actions, &attributes,
                                    const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(ends[1]);
  test::Outcome result;
  int status = 0;
  if (spawned != 0 || ::waitpid(pid, &status, 0) != pid) return result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::ifstream err(errFile, std::ios::binary);
  result.err.assign(std::istreambuf_iterator<char>(err), {});
  ::unlink(errFile.c_str());
  return result;
}

// A listing that does not reach standard output must not end as a success:
// one line on standard error and status 2, except for a reader that has
// gone, which ends the run quietly (by SIGPIPE where it is not ignored).
TEST(EndToEnd, ListingThatCannotBeWritten) {
  Folder folder;
  folder.write("a.lif", sampleImage());
  const std::string prefix = "tamrik: cannot write the listing: ";
  const struct {
    const char* redirection;
    int error;
  } cases[] = {{">/dev/full ", ENOSPC}, {">&- ", EBADF}};
  for (const auto& c : cases) {
    const test::Outcome r = folder.run({"-n", "a.lif"}, c.redirection);
    EXPECT_EQ(r.status, 2) << c.redirection;
    if (windowsPaths()) {
      // The system's reason, in its own words and language.
      EXPECT_EQ(r.err.substr(0, prefix.size()), prefix) << r.err;
      EXPECT_GT(r.err.size(), prefix.size() + 2) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    } else {
      EXPECT_EQ(r.err, prefix + std::strerror(c.error) + "\n");
    }
  }
  for (const bool ignoreSigpipe : {false, true}) {
    const test::Outcome r = runIntoClosedPipe(folder, {"-n", "a.lif"}, ignoreSigpipe);
    EXPECT_EQ(r.status, ignoreSigpipe || windowsPaths() ? 2 : 128 + SIGPIPE) << ignoreSigpipe;
    EXPECT_EQ(r.err, "") << ignoreSigpipe;
  }
}

// A container whose file lacks part of the directory lists what it holds,
// as the raw volume with zeros there lists, and says so on standard error;
// a sound container and a raw image say nothing.
TEST(EndToEnd, ContainerThatLacksADirectorySectorSaysSo) {
  const test::Geometry geometry{2, 2, 16, 1, 1};
  std::vector<test::TestTrack> tracks = test::volumeTracks(sampleImage(), geometry);
  Folder folder;
  folder.write("sound.imd", test::imageDiskFile(tracks));
  auto& sectors = tracks[0].sectors;
  sectors.erase(std::find_if(sectors.begin(), sectors.end(),
                             [](const test::TestSector& sector) { return sector.id == 3; }));
  folder.write("lacking.imd", test::imageDiskFile(tracks));
  std::string zeroed = sampleImage();
  zeroed.replace(2 * 256, 256, 256, '\0');
  folder.write("zeroed.lif", zeroed);

  const test::Outcome lacking = folder.run({"-n", "lacking.imd"});
  EXPECT_EQ(lacking.status, 0);
  EXPECT_EQ(lacking.out, "Content of lacking.imd\n\n" + folder.run({"zeroed.lif"}).out);
  // Windows ends the line as it ends every line of text.
  EXPECT_EQ(lacking.err,
            "tamrik: lacking.imd: directory sector 2 is not in the file; it was read as zeros" +
                std::string(expectCrLf() ? "\r\n" : "\n"));
  // On one pipe with standard output, the line follows the image's listing
  // (line ends as the program wrote them).
  const test::Outcome apart = folder.test::TestFolder::run({"-n", "lacking.imd"});
  EXPECT_EQ(folder.runMerged({"-n", "lacking.imd"}), apart.out + apart.err);
  for (const char* name : {"sound.imd", "zeroed.lif"}) {
    const test::Outcome sound = folder.run({name});
    EXPECT_EQ(sound.status, 0) << name;
    EXPECT_EQ(sound.err, "") << name;
  }
  EXPECT_EQ(folder.run({"sound.imd"}).out, kSampleListing);
}

// A damaged volume gets the refusal line on standard output, as ever, and
// its reason on standard error; one whose directory is impossible is
// listed and said. Only a file that could not be read changes the status.
TEST(EndToEnd, DamagedVolumesSayWhy) {
  const std::string sound = sampleImage();
  test::TestImage clash;
  clash.entries = {fileEntry("FIRST", 0x0001, 4, 3), fileEntry("SECOND", 0x0001, 6, 1)};
  clash.holdsFiles = true;
  test::TestImage inDirectory;
  inDirectory.entries = {fileEntry("LOST", 0x0001, 2, 1)};
  const struct {
    const char* name;
    std::string bytes;
    bool listed;
    std::string err;
    int status;
  } cases[] = {
      {"header.lif", sound.substr(0, 20), false,
       saidLine("header.lif: the image ends inside the volume header, after 20 of its 42 bytes"),
       0},
      {"dir.lif", sound.substr(0, 512 + 33), false,
       saidLine("dir.lif: the image ends inside the directory, in entry 2 of 8"), 0},
      {"outside.lif", sound.substr(0, 256), false,
       saidLine("outside.lif: the directory starts at sector 2, past the end of the image"), 0},
      {"clash.lif", clash.bytes(), true,
       saidLine("clash.lif: files \"FIRST\" and \"SECOND\" share sector 6"), 0},
      {"indir.lif", inDirectory.bytes(), true,
       saidLine("indir.lif: file \"LOST\" (sector 2) lies in the volume's directory (sector 2)"),
       0},
      {"text.lif", "not an image", false, "", 0},
  };
  Folder folder;
  for (const auto& c : cases) {
    folder.write(c.name, c.bytes);
    const test::Outcome r = folder.run({c.name});
    EXPECT_EQ(r.out.ends_with("End of Directory\n"), c.listed) << c.name;
    if (!c.listed) {
      EXPECT_EQ(r.out, kRefusal) << c.name;
    }
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(r.status, c.status) << c.name;
  }
  // A file whose every read fails, as a failing disk's: the kernel's own
  // memory file of a process, which is a regular file of no size.
  if (!expectCrLf()) {
    const test::Outcome r = folder.run({"/proc/self/mem"});
    EXPECT_EQ(r.out, kRefusal);
    EXPECT_EQ(r.err, saidLine("mem: Input/output error"));
    EXPECT_EQ(r.status, 3);
  }
}

TEST(EndToEnd, SpecialFilesAreSkippedWithoutBlocking) {
  if (expectCrLf()) GTEST_SKIP() << "POSIX special files";
  Folder folder;
  ASSERT_EQ(::mkfifo((folder.path() + "/fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("/dev/null", (folder.path() + "/null").c_str()), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(folder.run({"fifo"}).out, "");
  EXPECT_EQ(folder.run({"null"}).out, kRefusal);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// An image holding a program, a LIF text file, a type 0x0001 file that
// is no text (an assembler source's control block), a data file whose
// stamp is no date, a file whose sectors pass the image's end, and an
// entry of no sectors, which the listing does not show.
struct FilesImage {
  test::TestImage image;
  std::string bytes;

  FilesImage() {
    image.label = "FILES";
    image.entries = {fileEntry("PROG", 0xE080, 4, 2, 0x012C0100),
                     fileEntry("README", 0x0001, 6, 1),
                     fileEntry("ASM", 0x0001, 7, 1),
                     fileEntry("DATA", 0x5000, 8, 3),
                     fileEntry("CUT", 0x5000, 11, 4),
                     fileEntry("EMPTY", 0x1234, 12, 0)};
    image.entries[3].stamp = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    bytes = image.bytes();
    bytes.resize(12 * 256 + 100);
    for (std::size_t at = 4 * 256; at < bytes.size(); ++at) {
      bytes[at] = static_cast<char>((at * 13) ^ (at >> 8));
    }
    std::string text = std::string(
        "\x00\x05HELLO\x41\x00\x00\x00\x04"
        "AB\r\n\xFF\xFF",
        17);
    text.resize(256, '\xFF');
    bytes.replace(6 * 256, 256, text);
    bytes.replace(7 * 256, 6, "\x00\x04MAIN", 6);
    bytes[7 * 256 + 6] = '\x7F';  // a record of 0x7FFF bytes
  }

  std::string sectors(std::size_t index) const {
    const test::TestEntry& entry = image.entries[index];
    return bytes.substr(std::size_t{entry.startSector} * 256, std::size_t{entry.sectorCount} * 256);
  }
  std::string record(std::size_t index) const { return test::entryBytes(image.entries[index]); }
};

std::string lineEnd() {
  return expectCrLf() ? "\r\n" : "\n";
}

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The files a folder holds, with their bytes; the test's own file of
// standard error left out.
std::map<std::string, std::string> filesIn(const std::string& path) {
  std::map<std::string, std::string> files;
  DIR* dir = ::opendir(path.c_str());
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && name != ".stderr")
      files[name] = fileBytes(path + "/" + name);
  }
  ::closedir(dir);
  return files;
}

TEST(EndToEnd, ExtractWritesEachFormAgainstTheSectors) {
  const FilesImage f;
  const std::string text = "HELLO" + lineEnd() + lineEnd() + "AB\r\n";
  const std::string cutLine =
      "tamrik: ../files.lif: CUT: its sectors pass the end of the image; 356 of its 1024 bytes "
      "were there and were written" +
      lineEnd();
  const struct {
    const char* option;
    std::map<std::string, std::string> files;
  } cases[] = {
      {"-x",
       {{"PROG", f.sectors(0)},
        {"README", f.sectors(1)},
        {"ASM", f.sectors(2)},
        {"DATA", f.sectors(3)},
        {"CUT", f.sectors(4)}}},
      {"-xa",
       {{"PROG", f.sectors(0)},
        {"README.txt", text},
        {"ASM", f.sectors(2)},
        {"DATA", f.sectors(3)},
        {"CUT", f.sectors(4)}}},
      {"-xe",
       {{"PROG", f.record(0) + f.sectors(0)},
        {"README", f.record(1) + f.sectors(1)},
        {"ASM", f.record(2) + f.sectors(2)},
        {"DATA", f.record(3) + f.sectors(3)},
        {"CUT", f.record(4) + f.sectors(4)}}},
  };
  ASSERT_EQ(f.sectors(4).size(), 356U);
  for (const auto& c : cases) {
    Folder folder;
    folder.write("files.lif", f.bytes);
    folder.mkdir("out");
    const test::Outcome r = folder.run({c.option, "../files.lif"}, "cd out && ");
    EXPECT_EQ(r.status, 3) << c.option;
    EXPECT_EQ(r.out, "") << c.option;
    EXPECT_EQ(r.err, cutLine) << c.option;
    EXPECT_EQ(filesIn(folder.at("out")), c.files) << c.option;
    if (windowsPaths()) continue;
    // The entry's date as the file's time; none for a stamp of zeros.
    struct stat prog {};
    struct stat data {};
    ASSERT_EQ(::stat(folder.at("out/PROG").c_str(), &prog), 0);
    ASSERT_EQ(::stat(folder.at("out/DATA").c_str(), &data), 0);
    std::tm when{};
    when.tm_year = 124;
    when.tm_mon = 2;
    when.tm_mday = 15;
    when.tm_hour = 10;
    when.tm_min = 45;
    when.tm_isdst = -1;
    EXPECT_EQ(prog.st_mtime, std::mktime(&when)) << c.option;
    EXPECT_GT(data.st_mtime, std::mktime(&when)) << c.option;
  }
}

// -p: the chosen files on standard output, in the order asked, nothing
// written to the folder; names that match nothing are said.
TEST(EndToEnd, ExtractToStandardOutputByNameAndPattern) {
  const FilesImage f;
  Folder folder;
  folder.write("files.lif", f.bytes);
  const std::string text = "HELLO" + lineEnd() + lineEnd() + "AB\r\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::string err;
  } cases[] = {
      {{"-xp", "files.lif", "README", "PROG"}, f.sectors(1) + f.sectors(0), ""},
      {{"-x", "-p", "-a", "files.lif", "README", "ASM"}, text + f.sectors(2), ""},
      {{"-xpe", "files.lif", "D*"}, f.record(3) + f.sectors(3), ""},
      {{"-xp", "files.lif", "?ROG", "P*", "NONE", "readme", "EMPTY"},
       f.sectors(0),
       "tamrik: files.lif: NONE: not in the image" + lineEnd() +
           "tamrik: files.lif: readme: not in the image" + lineEnd() +
           "tamrik: files.lif: EMPTY: not in the image" + lineEnd()},
  };
  for (const auto& c : cases) {
    const test::Outcome r = folder.TestFolder::run(c.args);
    EXPECT_EQ(r.out, c.out) << c.args.back();
    EXPECT_EQ(r.err, c.err) << c.args.back();
    EXPECT_EQ(r.status, c.err.empty() ? 0 : 3) << c.args.back();
  }
  EXPECT_EQ(filesIn(folder.path()).size(), 1U);
}

// Status 3 for what was not as asked, 2 for what could not be written.
TEST(EndToEnd, ExtractStatusesAndWhatIsSaid) {
  const FilesImage f;
  const std::string end = lineEnd();
  Folder folder;
  folder.write("files.lif", f.bytes);
  folder.write("text.lif", sampleImage().substr(0, 100));
  folder.write("README.txt", "mine");
  folder.write("plain.txt", std::string(600, 'x'));
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"-xa", "files.lif", "README"},
       3,
       "tamrik: files.lif: README: README.txt exists, not overwritten" + end},
      {{"-x", "text.lif"},
       3,
       "tamrik: text.lif: the directory starts at sector 2, past the end of the image" + end},
      {{"-x", "plain.txt"}, 3, "tamrik: plain.txt: not a LIF volume" + end},
      {{"-x", "files.lif", "PROG"}, 0, ""},
      {{"-x", "files.lif", "PROG"},
       3,
       "tamrik: files.lif: PROG: PROG exists, not overwritten" + end},
  };
  for (const auto& c : cases) {
    const test::Outcome r = folder.run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[1];
    EXPECT_EQ(r.err, c.err) << c.args[1];
    EXPECT_EQ(r.out, "") << c.args[1];
  }
  EXPECT_EQ(fileBytes(folder.at("README.txt")), "mine");
  EXPECT_EQ(fileBytes(folder.at("PROG")), f.sectors(0));
  // An image that cannot be opened: the system's words.
  const test::Outcome none = folder.run({"-x", "none.lif"});
  EXPECT_EQ(none.status, 3);
  EXPECT_EQ(none.err.substr(0, 18), "tamrik: none.lif: ") << none.err;
  if (!windowsPaths()) {
    EXPECT_EQ(none.err, saidLine("none.lif: " + std::string(std::strerror(ENOENT))));
  }
  const std::string prefix = "tamrik: cannot write to standard output: ";
  const test::Outcome full = folder.run({"-xp", "files.lif", "PROG"}, ">/dev/full ");
  EXPECT_EQ(full.status, 2);
  EXPECT_EQ(full.err.substr(0, prefix.size()), prefix) << full.err;
  if (windowsPaths()) return;
  // A file the file system stops taking is removed, and the run stops:
  // a limit of 512 bytes lets the three first files through.
  folder.mkdir("small");
  const test::Outcome big =
      folder.run({"-x", "../files.lif"}, "cd small && trap '' XFSZ && ulimit -f 1 && ");
  EXPECT_EQ(big.status, 2);
  EXPECT_EQ(big.err,
            "tamrik: ../files.lif: DATA: DATA cannot be written: file too large; it was removed\n");
  // A folder where nothing can be made, even by root: the first copy stops
  // the run.
  const test::Outcome nowhere = folder.run({"-x", folder.at("files.lif"), "PROG"}, "cd /proc && ");
  EXPECT_EQ(nowhere.status, 2);
  EXPECT_EQ(nowhere.err, "tamrik: " + folder.at("files.lif") +
                             ": PROG: PROG cannot be created: no such file or directory\n");
  const std::map<std::string, std::string> written = {
      {"PROG", f.sectors(0)}, {"README", f.sectors(1)}, {"ASM", f.sectors(2)}};
  EXPECT_EQ(filesIn(folder.at("small")), written);
}

// A container that lacks a sector of a file: the file is written as the
// listing reads it, zeros there, and that is said.
TEST(EndToEnd, ExtractFromAContainerThatLacksAFileSector) {
  const FilesImage f;
  const test::Geometry geometry{2, 2, 16, 1, 1};
  std::string volume = f.bytes.substr(0, 11 * 256);
  std::vector<test::TestTrack> tracks = test::volumeTracks(volume, geometry);
  auto& sectors = tracks[0].sectors;
  // Volume sector 5, the second of PROG.
  sectors.erase(std::find_if(sectors.begin(), sectors.end(),
                             [](const test::TestSector& sector) { return sector.id == 6; }));
  Folder folder;
  folder.write("lacking.imd", test::imageDiskFile(tracks));
  const test::Outcome r = folder.run({"-x", "lacking.imd", "PROG", "README"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "tamrik: lacking.imd: PROG: sector 5 is not in the file; it was read as zeros" +
                       lineEnd());
  EXPECT_EQ(fileBytes(folder.at("PROG")), f.sectors(0).substr(0, 256) + std::string(256, '\0'));
  EXPECT_EQ(fileBytes(folder.at("README")), f.sectors(1));
}

}  // namespace
}  // namespace tamrik
