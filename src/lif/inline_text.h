// SPDX-License-Identifier: MIT
// A text of at most N bytes kept inside the record that owns it. The texts
// of a directory entry (name, stamp, type name, machine tag) are short and
// bounded, and a directory of thousands of entries should not cost a heap
// block per text, nor a copy of one when the entry moves.
#ifndef TAMRIK_LIF_INLINE_TEXT_H_
#define TAMRIK_LIF_INLINE_TEXT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace tamrik {

template <std::size_t N>
struct InlineText {
  static_assert(N < 256, "the length is kept in one byte");

  std::array<char, N> bytes{};
  uint8_t length = 0;

  constexpr InlineText() = default;
  // From anything that reads as a text: a literal, a std::string, a view.
  template <typename Text>
  requires std::is_convertible_v<const Text&, std::string_view>
  constexpr InlineText(const Text& text) { assign(text); }
  template <typename Text>
  requires std::is_convertible_v<const Text&, std::string_view>
  constexpr InlineText& operator=(const Text& text) {
    assign(text);
    return *this;
  }

  // Takes at most N bytes of the text; every byte as it is, NULs included.
  constexpr void assign(std::string_view text) {
    length = static_cast<uint8_t>(text.size() < N ? text.size() : N);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = text[i];
  }
  constexpr void clear() { length = 0; }

  constexpr const char* data() const { return bytes.data(); }
  constexpr std::size_t size() const { return length; }
  constexpr bool empty() const { return length == 0; }
  constexpr std::string_view view() const { return {bytes.data(), length}; }
  constexpr operator std::string_view() const { return view(); }

  friend constexpr bool operator==(const InlineText& text, std::string_view other) {
    return text.view() == other;
  }
};

}  // namespace tamrik

#endif  // TAMRIK_LIF_INLINE_TEXT_H_
