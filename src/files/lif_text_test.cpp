// SPDX-License-Identifier: MIT
#include "files/lif_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tamrik::files {
namespace {

using namespace std::string_literals;

// A record as the disks hold it: big-endian length, text, filler byte.
std::string record(const std::string& text, char filler = '\0') {
  std::string bytes{static_cast<char>(text.size() >> 8), static_cast<char>(text.size() & 0xFF)};
  bytes += text;
  if (text.size() % 2 != 0) bytes += filler;
  return bytes;
}

const std::string kEnd = "\xFF\xFF"s;

TEST(LifText, WalksAndConverts) {
  const struct {
    const char* what;
    std::string file;
    bool converts;
    std::string lf;    // the text with LF line ends
    std::string crlf;  // with CR LF
  } cases[] = {
      {"records and padding", record("HELLO") + record("WORLD!") + kEnd + std::string(200, '\xFF'),
       true, "HELLO\nWORLD!\n", "HELLO\r\nWORLD!\r\n"},
      {"odd length, filler not checked", record("ABC", 'A') + record("D", '\x1C') + kEnd, true,
       "ABC\nD\n", "ABC\r\nD\r\n"},
      {"zero-length record", record("A") + record("") + record("B") + kEnd, true, "A\n\nB\n",
       "A\r\n\r\nB\r\n"},
      {"CR LF kept, not doubled", record("AB\r\n") + record("C\r\n") + kEnd, true, "AB\r\nC\r\n",
       "AB\r\nC\r\n"},
      {"LF kept, not doubled", record("AB\n") + kEnd, true, "AB\n", "AB\n"},
      {"CR alone gets a line end", record("AB\r") + kEnd, true, "AB\r\n", "AB\r\r\n"},
      {"end mark first", kEnd + record("LOST"), true, "", ""},
      {"bytes after the end mark ignored", record("A") + kEnd + record("NOT"), true, "A\n",
       "A\r\n"},
      {"no end mark", record("A") + record("B"), false, "", ""},
      {"record past the file's end", record("A") + "\x01\x00"s + "SHORT", false, "", ""},
      {"filler past the file's end", record("A") + "\x00\x01X"s, false, "", ""},
      {"end mark cut in half", record("A") + "\xFF"s, false, "", ""},
      {"empty file", "", false, "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isLifText(c.file), c.converts) << c.what;
    if (!c.converts) continue;
    EXPECT_EQ(lifTextOf(c.file, "\n"), c.lf) << c.what;
    EXPECT_EQ(lifTextOf(c.file, "\r\n"), c.crlf) << c.what;
    // Fed a byte at a time, as pieces may cut a record anywhere.
    std::string text;
    LifTextWalk walk([&text](std::string_view piece) { text += piece; }, "\n");
    for (const char byte : c.file) walk.feed(std::string_view(&byte, 1));
    EXPECT_TRUE(walk.ended()) << c.what;
    EXPECT_EQ(text, c.lf) << c.what;
  }
}

}  // namespace
}  // namespace tamrik::files
