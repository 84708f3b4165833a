// SPDX-License-Identifier: MIT
// Runs the built program against hostile files: names and labels that would
// drive a terminal, special files that could block a reader, images that
// must stay untouched, and more images than the descriptor limit allows
// open at once.
//
// TAMRIK_PROGRAM is the command that starts the program, as for the
// end-to-end suite.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "lif/test_image.h"
#include "test_folder.h"

namespace tamrik {
namespace {

const std::string kRefusal = "Unknown or corrupt disk image\n\n";

class Folder : public test::TestFolder {
 public:
  Folder() : TestFolder("tamrik_hostile") {}

  // Standard output through a pipe; the program must succeed and keep
  // standard error empty.
  std::string run(const std::vector<std::string>& args, const std::string& prefix = "") const {
    const test::Outcome result = TestFolder::run(args, prefix);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    return result.out;
  }

  // Standard output on a pseudo-terminal in raw mode, so that the line
  // discipline adds no CR and the bytes arrive as written.
  std::string runOnTerminal(const std::vector<std::string>& args) const {
    termios raw{};
    cfmakeraw(&raw);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, &raw, nullptr);
    if (pid < 0) {
      ADD_FAILURE() << "forkpty: " << std::strerror(errno);
      return {};
    }
    if (pid == 0) {
      const std::string line = command(args) + " 2>/dev/null";
      ::execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::string out;
    char buffer[4096];
    for (;;) {
      const ssize_t got = ::read(master, buffer, sizeof buffer);
      if (got > 0) {
        out.append(buffer, static_cast<std::size_t>(got));
      } else if (got < 0 && errno == EINTR) {
        continue;
      } else {
        break;  // EIO once the program and its shell have closed the terminal
      }
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    return out;
  }
};

std::string masked(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return text;
}

test::TestImage plainImage() {
  test::TestImage image;
  test::TestEntry entry;
  entry.name = test::lifName("FILE");
  image.entries = {entry};
  image.holdsFiles = true;
  return image;
}

TEST(Hostile, ControlBytesReachTheTerminal) {
  Folder folder;
  // ESC sequences, BEL, a NUL in the label (the label ends there), a tab,
  // DEL, CR, and two high bytes that are left alone.
  const std::string label(
      "\x1b"
      "c\x07\0Z\x7f",
      6);
  const std::string shownLabel(
      "\x1b"
      "c\x07",
      3);
  const std::string names[] = {
      std::string("\x1b[2J\x1b]0;\x07\x01\x1f", 10),
      std::string("A\0B\tC\x7f\r\xe9\xff"
                  "D",
                  10),
  };
  test::TestImage image;
  image.label = label;
  image.holdsFiles = true;
  for (const std::string& name : names) {
    test::TestEntry entry;
    entry.name = name;
    entry.startSector = 4 + static_cast<uint32_t>(image.entries.size());
    image.entries.push_back(entry);
  }
  const std::string fileName = "disk\x1b[1m.lif";
  folder.write(fileName, image.bytes());

  const std::string piped = folder.run({"-n", "disk*"});
  ASSERT_NE(piped.find("Content of " + fileName + "\n"), std::string::npos) << piped;
  ASSERT_NE(piped.find("Volume label: " + shownLabel + "\n"), std::string::npos) << piped;
  for (const std::string& name : names) ASSERT_NE(piped.find(name), std::string::npos);

  std::string expected = piped;
  for (const std::string& text : {fileName, shownLabel, names[0], names[1]}) {
    expected.replace(expected.find(text), text.size(), masked(text));
  }
  const std::string shown = folder.runOnTerminal({"-n", "disk*"});
  EXPECT_EQ(shown, expected);
  for (char c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    EXPECT_TRUE(byte == '\n' || (byte >= 0x20 && byte != 0x7F)) << "control byte " << int{byte};
  }
  EXPECT_NE(shown.find("\xe9\xff"), std::string::npos);
}

TEST(Hostile, FolderNameInFullPathHeadingReachesTheTerminal) {
  Folder folder;
  const std::string sub = "disks\x1b[31m\x07";
  ASSERT_EQ(::mkdir(folder.at(sub).c_str(), 0755), 0);
  folder.write(sub + "/a.lif", plainImage().bytes());
  const std::string heading = "Content of " + folder.at(sub) + "\\a.lif\n";

  const std::string piped = folder.run({"-f", sub + "/a.lif"});
  EXPECT_EQ(piped.substr(0, heading.size()), heading);
  const std::string shown = folder.runOnTerminal({"-f", sub + "/a.lif"});
  EXPECT_EQ(shown.substr(0, heading.size()), masked(heading.substr(0, heading.size() - 1)) + "\n");
}

// One inotify event on a file of the folder.
struct FileEvent {
  std::string name;
  uint32_t mask;
};

std::vector<FileEvent> drain(int watch) {
  std::vector<FileEvent> events;
  alignas(inotify_event) char buffer[16 * 1024];
  for (;;) {
    const ssize_t got = ::read(watch, buffer, sizeof buffer);
    if (got <= 0) break;
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->len > 0 && (event->mask & IN_ISDIR) == 0) {
        events.push_back({event->name, event->mask});
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return events;
}

TEST(Hostile, ImageWrittenOrLeftOpenWhileTheNextIsRead) {
  Folder folder;
  const std::string bytes = plainImage().bytes();
  const std::vector<std::string> names = {"a.lif", "b.lif", "c.lif", "bad.lif"};
  for (const std::string& name : names) {
    folder.write(name, name == "bad.lif" ? "not an image" : bytes);
    // An old modification time, so that any write would show.
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.at(name).c_str(), times, 0), 0);
  }

  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, folder.path().c_str(),
                                IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE | IN_MODIFY |
                                    IN_ATTRIB | IN_MOVE | IN_DELETE | IN_CREATE),
            0);
  const std::string out = folder.run({"-s", "*.lif"});
  EXPECT_NE(out.find("End of Directory"), std::string::npos);
  const std::vector<FileEvent> events = drain(watch);
  ::close(watch);

  // Each image is opened once, for reading only, and closed before the
  // next is opened; nothing is created, changed or moved.
  std::map<std::string, int> opened;
  std::string open;
  for (const FileEvent& event : events) {
    if (event.name == ".stderr") continue;
    if (event.mask & IN_OPEN) {
      EXPECT_EQ(open, "") << event.name << " opened while " << open << " is open";
      open = event.name;
      ++opened[event.name];
    } else if (event.mask & IN_CLOSE_NOWRITE) {
      EXPECT_EQ(open, event.name);
      open.clear();
    } else {
      ADD_FAILURE() << event.name << ": event mask " << std::hex << event.mask;
    }
  }
  EXPECT_EQ(open, "");
  for (const std::string& name : names) EXPECT_EQ(opened[name], 1) << name;

  for (const std::string& name : names) {
    std::ifstream in(folder.at(name), std::ios::binary);
    const std::string now{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(now, name == "bad.lif" ? "not an image" : bytes) << name;
    struct stat info;
    ASSERT_EQ(::stat(folder.at(name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1000000000) << name;
  }
}

TEST(Hostile, DescriptorLeakedPerImage) {
  Folder folder;
  const std::string bytes = plainImage().bytes();
  constexpr int kImages = 200;
  for (int i = 0; i < kImages; ++i) {
    folder.write("img" + std::to_string(i) + ".lif", i % 3 == 0 ? "refused" : bytes);
  }
  // Room for the standard streams, the directory search and a few more:
  // far fewer than the images.
  const std::string out = folder.run({"*.lif"}, "ulimit -n 16 && ");
  std::size_t listed = 0;
  std::size_t refused = 0;
  for (std::size_t at = 0; (at = out.find("End of Directory\n", at)) != std::string::npos; ++at) {
    ++listed;
  }
  for (std::size_t at = 0; (at = out.find(kRefusal, at)) != std::string::npos; ++at) ++refused;
  EXPECT_EQ(listed, std::size_t{kImages - (kImages + 2) / 3});
  EXPECT_EQ(refused, std::size_t{(kImages + 2) / 3});
}

TEST(Hostile, SpecialFileBlocksOrIsReadAsAnImage) {
  Folder folder;
  // In a folder of their own, apart from the file that takes standard
  // error, so that a pattern matches the special files only.
  ASSERT_EQ(::mkdir(folder.at("special").c_str(), 0755), 0);
  const auto at = [&](const char* name) { return folder.at(std::string("special/") + name); };
  ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0644), 0);
  // A FIFO that has a writer, which never writes.
  ASSERT_EQ(::mkfifo(at("fifo_held").c_str(), 0644), 0);
  const int reader = ::open(at("fifo_held").c_str(), O_RDONLY | O_NONBLOCK);
  const int writer = ::open(at("fifo_held").c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(writer, 0);

  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string sockPath = at("sock");
  ASSERT_LT(sockPath.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, sockPath.c_str(), sockPath.size() + 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(sock, 1), 0);

  ASSERT_EQ(::mkdir(at("folder").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("/dev/null", at("null").c_str()), 0);
  ASSERT_EQ(::symlink("/dev/zero", at("zero").c_str()), 0);
  // A device node of its own where allowed (root with CAP_MKNOD).
  const bool node = ::mknod(at("zero_node").c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0;

  const std::map<std::string, std::string> expected = {
      {"fifo", ""},       {"fifo_held", ""},       {"sock", ""}, {"folder", ""}, {"null", kRefusal},
      {"zero", kRefusal}, {"zero_node", kRefusal}, {".", ""},    {"..", ""},
  };
  // Named alone, what is never opened is said; a pattern passes it over.
  const std::map<std::string, std::string> said = {
      {"fifo", "a FIFO, which is not read"},
      {"fifo_held", "a FIFO, which is not read"},
      {"sock", "a socket, which is not read"},
      {"folder", "Is a directory"},
  };
  // One at a time, then all through one pattern, in the directory's order.
  std::vector<std::string> args;
  std::string all;
  DIR* dir = ::opendir(folder.at("special").c_str());
  ASSERT_NE(dir, nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    ASSERT_EQ(expected.count(name), 1U) << name;
    if (!all.empty()) all += "\n";
    all += "Content of " + name + "\n\n" + expected.at(name);
    if (name != "." && name != "..") args.push_back("special/" + name);
  }
  ::closedir(dir);
  EXPECT_EQ(args.size(), node ? 7U : 6U);
  args.push_back("special/*");

  // Opening a FIFO would release a writer waiting in its own open, whose
  // data would then be lost: only regular files and devices may be opened.
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, folder.at("special").c_str(), IN_OPEN), 0);

  for (const std::string& arg : args) {
    const auto start = std::chrono::steady_clock::now();
    const test::Outcome result = folder.TestFolder::run({"-n", arg});
    const std::string& out = result.out;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const std::string name = arg.substr(arg.find('/') + 1);
    const auto words = said.find(name);
    EXPECT_EQ(result.err,
              words == said.end() ? "" : "tamrik: " + name + ": " + words->second + "\n");
    EXPECT_EQ(result.status, words == said.end() ? 0 : 3) << arg;
    if (name == "*") {
      EXPECT_EQ(out, all);
    } else {
      EXPECT_EQ(out, "Content of " + name + "\n\n" + expected.at(name));
    }
    // Against a blocking open or read; the figure is printed, not judged.
    EXPECT_LT(took.count(), 5.0) << arg;
    std::printf("%-18s %.3f s\n", arg.c_str(), took.count());
  }
  std::set<std::string> opened;
  for (const FileEvent& event : drain(watch)) opened.insert(event.name);
  ::close(watch);
  EXPECT_EQ(opened, node ? std::set<std::string>{"zero_node"} : std::set<std::string>{});

  ::close(sock);
  ::close(writer);
  if (reader >= 0) ::close(reader);
}

TEST(Hostile, DirectoryLargerThanMemory) {
  // Sanitizer runtimes reserve far more address space than the limit below.
  if (std::getenv("TAMRIK_SANITIZED") != nullptr) GTEST_SKIP() << "sanitized build";
  Folder folder;
  // A million used entries want some 200 MB of entry list; the program gets
  // 100 MB of address space.
  test::TestImage image;
  image.dirLength = 1U << 17;
  image.endMarker = false;
  test::TestEntry entry;
  entry.name = test::lifName("FILE");
  image.entries.assign(std::size_t{image.dirLength} * 8, entry);
  folder.write("big.lif", image.bytes());
  const test::Outcome result = folder.TestFolder::run({"big.lif"}, "ulimit -v 100000 && ");
  EXPECT_EQ(result.out, "Out of memory\n");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "");
}

// A hostile image copied out: names that climb, name devices or folders,
// hold control bytes or repeat, a file past the image's end, targets that
// exist or are links. Only new files in the current folder are written,
// nothing is overwritten or reached through a link, each problem is said
// and the status is 3.
TEST(Hostile, ExtractWritesOnlyNewFilesHere) {
  test::TestImage image;
  image.dirLength = 2;
  const std::string names[] = {"../../x", "CON",  "a/b",     std::string("\x1b[2J\x07\x00", 7),
                               "TWIN",    "twin", "LATE",    "EXISTS",
                               "LINK",    "..",   "com1.txt"};
  uint32_t start = 4;
  for (const std::string& name : names) {
    image.entries.push_back(test::fileEntry(name, 0x0001, start, 1));
    ++start;
  }
  image.entries[6].sectorCount = 40;  // LATE: past the end
  std::string bytes = image.bytes();
  bytes.resize(std::size_t{start + 2} * 256, 'D');
  for (std::size_t i = 0; i < std::size(names); ++i) {
    bytes[(4 + i) * 256] = static_cast<char>('0' + i);
  }

  Folder folder;
  folder.write("hostile.lif", bytes);
  folder.mkdir("a");
  folder.mkdir("a/here");
  folder.write("a/victim", "kept");
  folder.write("a/here/EXISTS", "mine");
  ASSERT_EQ(::symlink("../victim", folder.at("a/here/LINK").c_str()), 0);
  const test::Outcome r = folder.TestFolder::run({"-x", "../../hostile.lif"}, "cd a/here && ");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "");
  const std::string at = "tamrik: ../../hostile.lif: ";
  EXPECT_EQ(r.err, at +
                       "LATE: its sectors pass the end of the image; 1792 of its 10240 bytes "
                       "were there and were written\n" +
                       at + "EXISTS: EXISTS exists, not overwritten\n" + at +
                       "LINK: LINK exists, not overwritten\n");

  std::set<std::string> here;
  DIR* dir = ::opendir(folder.at("a/here").c_str());
  while (const dirent* entry = ::readdir(dir)) here.insert(entry->d_name);
  ::closedir(dir);
  const std::set<std::string> expected = {".",       "..",   ".._.._x",  "CON_", "a_b",
                                          "_[2J___", "TWIN", "twin~2",   "LATE", "EXISTS",
                                          "LINK",    "_",    "com1_.txt"};
  EXPECT_EQ(here, expected);
  const auto contents = [&folder](const std::string& name) {
    std::ifstream in(folder.at(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(contents("a/victim"), "kept");
  EXPECT_EQ(contents("a/here/EXISTS"), "mine");
  EXPECT_EQ(contents("a/here/twin~2").substr(0, 1), "5");
  EXPECT_EQ(contents("a/here/LATE").size(), 1792U);
  // Nothing beside the image and the folders outside.
  EXPECT_FALSE(::access(folder.at("x").c_str(), F_OK) == 0);
  EXPECT_FALSE(::access(folder.at("a/b").c_str(), F_OK) == 0);
}

}  // namespace
}  // namespace tamrik
