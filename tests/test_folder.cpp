// SPDX-License-Identifier: MIT
#include "test_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace tamrik::test {

const char* programCommand() {
  const char* command = std::getenv("TAMRIK_PROGRAM");
  return command != nullptr ? command : "tamrik";
}

std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

TestFolder::TestFolder(const std::string& prefix) {
  std::string pattern = testing::TempDir() + prefix + "_XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  char real[PATH_MAX];
  path_ = ::realpath(pattern.c_str(), real) != nullptr ? real : pattern;
}

TestFolder::~TestFolder() {
  // A folder left behind in the temporary directory fails no test.
  [[maybe_unused]] const int status = std::system(("rm -rf " + shellQuoted(path_)).c_str());
}

void TestFolder::write(const std::string& name, const std::string& bytes) const {
  std::ofstream(at(name), std::ios::binary) << bytes;
}

void TestFolder::mkdir(const std::string& name) const {
  ::mkdir(at(name).c_str(), 0755);
}

std::string TestFolder::command(const std::vector<std::string>& args,
                                const std::string& prefix) const {
  std::string line = "cd " + shellQuoted(path_) + " && " + prefix + programCommand();
  for (const std::string& arg : args) {
    line += ' ';
    line += shellQuoted(arg);
  }
  return line;
}

namespace {

// What a shell command line writes to standard output, and its exit status.
std::string outputOf(const std::string& line, int& status) {
  std::string out;
  FILE* pipe = ::popen(line.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    out.append(buffer, got);
  }
  const int ended = ::pclose(pipe);
  status = WIFEXITED(ended) ? WEXITSTATUS(ended) : -1;
  return out;
}

}  // namespace

Outcome TestFolder::run(const std::vector<std::string>& args, const std::string& prefix) const {
  const std::string errFile = at(".stderr");
  Outcome result;
  result.out =
      outputOf(command(args, prefix) + " 2>" + shellQuoted(errFile) + " </dev/null", result.status);
  std::ifstream err(errFile, std::ios::binary);
  result.err.assign(std::istreambuf_iterator<char>(err), {});
  ::unlink(errFile.c_str());
  return result;
}

std::string TestFolder::runMerged(const std::vector<std::string>& args) const {
  int status = -1;
  return outputOf(command(args) + " 2>&1 </dev/null", status);
}

}  // namespace tamrik::test
