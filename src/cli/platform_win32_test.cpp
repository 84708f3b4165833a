// SPDX-License-Identifier: MIT
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <gtest/gtest.h>
#include <windows.h>

#include <istream>
#include <set>

#include "cli/platform.h"
#include "io/image_file.h"

namespace tamrik::platform {
namespace {

TEST(ResolveArgument, CutsTheFullPathBeforeItsLastComponent) {
  const std::string cwd = currentDirectory();
  ASSERT_GE(cwd.size(), 3u);
  const std::string drive = cwd.substr(0, 2);
  const bool cwdIsRoot = cwd.size() == 3;
  const struct {
    std::string argument;
    std::string folderText;
    std::string folderPath;
    std::string filePart;
  } cases[] = {
      {"C:\\a\\b\\c.lif", "C:\\a\\b", "C:\\a\\b", "c.lif"},
      {"C:/a/b/c.lif", "C:\\a\\b", "C:\\a\\b", "c.lif"},
      {"C:\\a\\.\\b\\..\\*.lif", "C:\\a", "C:\\a", "*.lif"},
      {"C:\\a\\b\\..", "C:", "C:\\", "a"},
      {"C:\\x?.lif", "C:", "C:\\", "x?.lif"},
      {"\\x.lif", drive, drive + "\\", "x.lif"},
      {"x.lif", cwdIsRoot ? drive : cwd, cwdIsRoot ? drive + "\\" : cwd, "x.lif"},
  };
  for (const auto& c : cases) {
    ResolvedArgument resolved;
    ASSERT_TRUE(resolveArgument(c.argument, resolved)) << c.argument;
    EXPECT_EQ(resolved.folderText, c.folderText) << c.argument;
    EXPECT_EQ(resolved.folderPath, c.folderPath) << c.argument;
    EXPECT_EQ(resolved.filePart, c.filePart) << c.argument;
  }
}

TEST(ResolveArgument, RefusesWhatHasNoFilePartOrDoesNotFit) {
  // The longest path that fits: 259 characters and the NUL.
  const std::string longest = "C:\\" + std::string(256, 'x');
  ASSERT_EQ(longest.size() + 1, std::size_t{MAX_PATH});
  ResolvedArgument resolved;
  ASSERT_TRUE(resolveArgument(longest, resolved));
  EXPECT_EQ(resolved.folderText, "C:");
  EXPECT_EQ(resolved.filePart, std::string(256, 'x'));

  for (const std::string& argument :
       {std::string(), std::string("C:\\"), std::string("C:\\a\\"), std::string("C:/a/"),
        "C:\\" + std::string(257, 'x'), "C:\\" + std::string(400, 'x') + "\\x.lif"}) {
    EXPECT_FALSE(resolveArgument(argument, resolved)) << argument.size();
  }
}

// A folder of its own under the temporary folder, removed with its files.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH];
    const DWORD length = ::GetTempPathA(MAX_PATH, base);
    path_ = std::string(base, length) + "tamrik_win32_" + std::to_string(::GetCurrentProcessId());
    EXPECT_TRUE(::CreateDirectoryA(path_.c_str(), nullptr) != 0) << path_;
  }
  ~TempFolder() {
    for (const std::string& name : names_) ::DeleteFileA(file(name).c_str());
    ::RemoveDirectoryA(path_.c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string file(const std::string& name) const { return path_ + "\\" + name; }
  const std::string& path() const { return path_; }

  void write(const std::string& name, const std::string& bytes) {
    names_.insert(name);
    const HANDLE out = ::CreateFileA(file(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(out);
    ASSERT_EQ(written, bytes.size());
  }

 private:
  std::string path_;
  std::set<std::string> names_;
};

TEST(DirectorySearch, FindsEveryMatchOnceInTheCurrentDirectory) {
  TempFolder folder;
  for (const char* name : {"a.lif", "bb.lif", "c.txt"}) folder.write(name, "x");
  const std::string before = currentDirectory();
  ASSERT_TRUE(changeDirectory(folder.path()));
  const struct {
    const char* pattern;
    std::multiset<std::string> names;
  } cases[] = {
      {"*.lif", {"a.lif", "bb.lif"}},
      {"?.lif", {"a.lif"}},
      {"c.txt", {"c.txt"}},
      {"*", {".", "..", "a.lif", "bb.lif", "c.txt"}},
      {"*.dat", {}},
  };
  for (const auto& c : cases) {
    DirectorySearch search;
    std::multiset<std::string> found;
    std::string name;
    for (bool more = search.first(c.pattern, name); more; more = search.next(name)) {
      found.insert(name);
    }
    EXPECT_EQ(found, c.names) << c.pattern;
    EXPECT_FALSE(search.next(name)) << c.pattern;
  }
  EXPECT_TRUE(changeDirectory(before));
}

// Needs standard output on a console: .ci/windows.sh runs it under Wine on
// a pseudo-terminal.
TEST(ConsoleOutput, ShowsTheProcessCodePageAndGivesTheConsoleItsOwnBack) {
  if (!stdoutIsTerminal()) GTEST_SKIP() << "standard output is not a console";
  const UINT before = ::GetConsoleOutputCP();
  // A page other than the process's, so that there is something to change.
  const UINT own = ::GetACP() == 850 ? 437 : 850;
  ASSERT_TRUE(::SetConsoleOutputCP(own));
  {
    const ConsoleOutput console;
    EXPECT_EQ(::GetConsoleOutputCP(), ::GetACP());
  }
  EXPECT_EQ(::GetConsoleOutputCP(), own);
  ::SetConsoleOutputCP(before);
}

TEST(OpenImageFile, ReadsAndSeeksAcrossTheBuffer) {
  TempFolder folder;
  std::string bytes(40000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
  folder.write("image.lif", bytes);
  const std::unique_ptr<std::streambuf> buffer = io::openImageFile(folder.file("image.lif")).stream;
  ASSERT_TRUE(buffer);
  std::istream in(buffer.get());

  const struct {
    std::streamoff at;
    std::size_t count;
  } reads[] = {{0, 300}, {256, 512}, {16380, 10}, {39990, 10}, {5, 1}, {20000, 16384}};
  for (const auto& r : reads) {
    ASSERT_TRUE(in.seekg(r.at)) << r.at;
    std::string got(r.count, '\0');
    in.read(got.data(), static_cast<std::streamsize>(r.count));
    EXPECT_EQ(got, bytes.substr(static_cast<std::size_t>(r.at), r.count)) << r.at;
    EXPECT_EQ(in.tellg(), r.at + static_cast<std::streamoff>(r.count)) << r.at;
  }
  in.seekg(39999);
  EXPECT_EQ(in.get(), static_cast<unsigned char>(bytes.back()));
  EXPECT_EQ(in.get(), std::char_traits<char>::eof());
  EXPECT_TRUE(in.eof());
}

TEST(OpenImageFile, LeavesTheFileToOthersAndSkipsWhatIsNoFile) {
  TempFolder folder;
  folder.write("held.lif", "LIF");
  const std::unique_ptr<std::streambuf> held = io::openImageFile(folder.file("held.lif")).stream;
  ASSERT_TRUE(held);
  const HANDLE writer =
      ::CreateFileA(folder.file("held.lif").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);

  for (const std::string& name : {folder.path(), folder.file("missing.lif"), std::string("CON"),
                                  std::string("NUL"), std::string(".")}) {
    EXPECT_FALSE(io::openImageFile(name).stream) << name;
  }
}

}  // namespace
}  // namespace tamrik::platform
