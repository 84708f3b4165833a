// SPDX-License-Identifier: MIT
// Reason texts: the words with which the program says why it refused,
// stopped or lost something, as the user reads them on standard error and
// the page. Each one is a single string literal with the suffix _reason,
// wherever it is used; "{}" stands for a value filled in when it is given
// (fill below). .ci/reasons.sh collects every such literal of the program
// and fails when a test source holds no text that it matches, so every
// reason is asserted somewhere.
#ifndef TAMRIK_REASON_REASON_H_
#define TAMRIK_REASON_REASON_H_

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tamrik {

// The literal itself: the suffix only marks it.
constexpr const char* operator""_reason(const char* text, std::size_t /*length*/) {
  return text;
}

// The reason with each "{}" replaced by the next of `values`, in order.
inline std::string fill(std::string_view reason, std::initializer_list<std::string_view> values) {
  std::string text;
  const std::string_view* value = values.begin();
  for (std::size_t at = 0;;) {
    const std::size_t slot = reason.find("{}", at);
    if (slot == std::string_view::npos || value == values.end()) {
      text += reason.substr(at);
      return text;
    }
    text += reason.substr(at, slot - at);
    text += *value++;
    at = slot + 2;
  }
}

}  // namespace tamrik

#endif  // TAMRIK_REASON_REASON_H_
