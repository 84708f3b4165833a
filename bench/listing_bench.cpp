// SPDX-License-Identifier: MIT
// The listing in memory: the read and list path without the file system and
// the terminal, and the type decode on its own.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "floppy.h"
#include "lif/file_types.h"
#include "lif/lif_dir_entry.h"
#include "lif/test_image.h"
#include "listing/line_writer.h"
#include "listing/list_volume.h"

namespace {

void listGenerated(benchmark::State& state, std::size_t entryCount, bool sortByName) {
  tamrik::test::ImageStream image(tamrik::bench::generatedVolume(entryCount, 7).bytes());
  // Counts the lines' bytes and keeps none of them, so that the benchmark
  // measures the listing and not a growing string.
  std::size_t bytes = 0;
  const tamrik::LineWriter writer(
      [](void* total, const char*, std::size_t size) { *static_cast<std::size_t*>(total) += size; },
      &bytes, false);
  for (auto _ : state) {
    tamrik::listVolume(image, sortByName, false, writer);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(entryCount));
  state.counters["bytes_out"] =
      benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(state.iterations()));
}

void BM_TypicalFloppy(benchmark::State& state) {
  listGenerated(state, 30, false);
}
BENCHMARK(BM_TypicalFloppy);

void BM_LargeDirectory(benchmark::State& state) {
  listGenerated(state, 65536, false);
}
BENCHMARK(BM_LargeDirectory)->Unit(benchmark::kMillisecond);

void BM_LargeDirectorySorted(benchmark::State& state) {
  listGenerated(state, 65536, true);
}
BENCHMARK(BM_LargeDirectorySorted)->Unit(benchmark::kMillisecond);

// One decode per entry, over the types of a generated volume and a spread of
// codes outside the table, which take the numeric name.
void BM_DecodeFileType(benchmark::State& state) {
  std::vector<tamrik::LifDirEntry> entries;
  for (const tamrik::test::TestEntry& raw : tamrik::bench::generatedVolume(1000, 3).entries) {
    tamrik::LifDirEntry entry;
    entry.typeCode = static_cast<int16_t>(raw.typeCode);
    entry.sectorCount = raw.sectorCount;
    entry.implWord = raw.implWord;
    entries.push_back(entry);
  }
  for (int code = 0x1000; code < 0x1000 + 100; ++code) {
    tamrik::LifDirEntry entry;
    entry.typeCode = static_cast<int16_t>(code);
    entry.sectorCount = 2;
    entries.push_back(entry);
  }
  for (auto _ : state) {
    for (tamrik::LifDirEntry& entry : entries) {
      entry.machineTag.clear();
      entry.flagA = entry.flagP = entry.flagS = false;
      entry.sizeBytes = entry.regCount = 0;
      tamrik::decodeFileType(entry);
      benchmark::DoNotOptimize(entry.sizeBytes);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(entries.size()));
}
BENCHMARK(BM_DecodeFileType);

}  // namespace

BENCHMARK_MAIN();
