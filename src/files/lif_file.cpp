// SPDX-License-Identifier: MIT
#include "files/lif_file.h"

#include <algorithm>
#include <array>

namespace tamrik::files {
namespace {

// Pieces of 64 KiB: a floppy's largest file in a few reads, and little
// memory for a large one.
constexpr std::size_t kPieceBytes = std::size_t{64} << 10;

void putBE(std::string& record, std::size_t at, uint32_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    record[at + i] = static_cast<char>((value >> (8 * (width - 1 - i))) & 0xFF);
  }
}

}  // namespace

std::string_view trimmedName(const FileName& name) {
  std::string_view text = name.view();
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::string entryRecord(const LifDirEntry& entry) {
  std::string record(kEntryBytes, '\0');
  const std::string_view name = entry.name.view();
  std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 10), record.begin());
  putBE(record, 10, static_cast<uint16_t>(entry.typeCode), 2);
  putBE(record, 12, entry.startSector, 4);
  putBE(record, 16, entry.sectorCount, 4);
  std::copy(entry.stampBcd.begin(), entry.stampBcd.end(), record.begin() + 20);
  putBE(record, 26, entry.volumeWord, 2);
  putBE(record, 28, entry.implWord, 4);
  return record;
}

uint64_t readSectors(std::istream& image, const LifDirEntry& entry, const ByteSink& sink) {
  std::streambuf& source = *image.rdbuf();
  const auto start = static_cast<std::streamoff>(uint64_t{entry.startSector} * 256);
  const std::streampos refused(std::streamoff(-1));
  if (source.pubseekpos(start, std::ios_base::in) == refused) return 0;
  static thread_local std::array<char, kPieceBytes> piece;
  uint64_t left = storedBytes(entry);
  uint64_t done = 0;
  while (left > 0) {
    const auto want = static_cast<std::streamsize>(std::min<uint64_t>(left, piece.size()));
    const std::streamsize got = source.sgetn(piece.data(), want);
    if (got <= 0) break;
    sink(std::string_view(piece.data(), static_cast<std::size_t>(got)));
    done += static_cast<uint64_t>(got);
    left -= static_cast<uint64_t>(got);
    if (got < want) break;
  }
  return done;
}

}  // namespace tamrik::files
