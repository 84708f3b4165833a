// SPDX-License-Identifier: MIT
#include "files/safe_name.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "files/lif_file.h"

namespace tamrik::files {
namespace {

bool unsafeByte(unsigned char byte) {
  constexpr std::string_view kReserved = "/\\:*?\"<>|";
  return byte < 0x20 || byte >= 0x7F || kReserved.find(static_cast<char>(byte)) != kReserved.npos;
}

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string folded(std::string_view name) {
  std::string out(name);
  std::transform(out.begin(), out.end(), out.begin(), upper);
  return out;
}

// Names Windows opens as devices whatever follows them after a dot.
// CONIN$ and CONOUT$ are the console's own.
bool deviceName(std::string_view part) {
  constexpr std::array<std::string_view, 6> kWords = {"CON", "PRN",    "AUX",
                                                      "NUL", "CONIN$", "CONOUT$"};
  const std::string word = folded(part);
  if (std::find(kWords.begin(), kWords.end(), word) != kWords.end()) return true;
  return word.size() == 4 && (word.starts_with("COM") || word.starts_with("LPT")) &&
         word[3] >= '1' && word[3] <= '9';
}

}  // namespace

std::string safeName(std::string_view lifName) {
  while (!lifName.empty() && lifName.back() == ' ') lifName.remove_suffix(1);
  std::string name(lifName);
  for (char& c : name) {
    if (unsafeByte(static_cast<unsigned char>(c))) c = '_';
  }
  if (name.find_first_not_of('.') == std::string::npos) return "_";
  if (name.back() == '.' || name.back() == ' ') name.back() = '_';
  // Windows ignores blanks at the end of the part, "CON .X" is CON too.
  std::size_t part = std::min(name.find('.'), name.size());
  std::size_t word = part;
  while (word > 0 && name[word - 1] == ' ') --word;
  if (deviceName(std::string_view(name).substr(0, word))) name.insert(word, 1, '_');
  return name;
}

std::vector<std::string> safeNames(const std::vector<LifDirEntry>& entries) {
  std::vector<std::string> names;
  names.reserve(entries.size());
  std::unordered_set<std::string> taken;
  for (const LifDirEntry& entry : entries) {
    if (!isListed(entry)) {
      names.emplace_back();
      continue;
    }
    std::string name = safeName(trimmedName(entry.name));
    if (!taken.insert(folded(name)).second) {
      for (unsigned n = 2;; ++n) {
        std::string numbered = name + '~' + std::to_string(n);
        if (taken.insert(folded(numbered)).second) {
          name = std::move(numbered);
          break;
        }
      }
    }
    names.push_back(std::move(name));
  }
  return names;
}

std::string targetName(const std::string& safe, bool asText) {
  return asText ? safe + ".txt" : safe;
}

}  // namespace tamrik::files
