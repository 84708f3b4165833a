// SPDX-License-Identifier: MIT
// Runs the fuzz target over files and folders of inputs, for builds without
// libFuzzer: the seed corpus becomes an ordinary test, and a crash input
// found elsewhere can be replayed under any compiler or valgrind.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

void runOne(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t inputs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
        if (!entry.is_regular_file()) continue;
        runOne(entry.path());
        ++inputs;
      }
    } else {
      runOne(path);
      ++inputs;
    }
  }
  std::printf("replayed %zu inputs\n", inputs);
  // No input at all means a broken corpus, not a pass.
  return inputs > 0 ? 0 : 1;
}
