// SPDX-License-Identifier: MIT
// What the suites that run the built program share: a scratch folder, and a
// shell command run in it with its standard output and error captured.
//
// TAMRIK_PROGRAM is the command that starts the program; it may carry a
// prefix such as an emulator.
#ifndef TAMRIK_TESTS_TEST_FOLDER_H_
#define TAMRIK_TESTS_TEST_FOLDER_H_

#include <string>
#include <vector>

namespace tamrik::test {

const char* programCommand();

std::string shellQuoted(const std::string& text);

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;  // exit status, -1 when killed by a signal
};

class TestFolder {
 public:
  explicit TestFolder(const std::string& prefix);
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string at(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const;
  void mkdir(const std::string& name) const;

  // The shell command line that runs the program here.
  std::string command(const std::vector<std::string>& args, const std::string& prefix = "") const;

  // Runs the program here through a pipe, standard input closed.
  Outcome run(const std::vector<std::string>& args, const std::string& prefix = "") const;
  // Standard output and standard error on one pipe, as written.
  std::string runMerged(const std::vector<std::string>& args) const;

 private:
  std::string path_;
};

}  // namespace tamrik::test

#endif  // TAMRIK_TESTS_TEST_FOLDER_H_
