// SPDX-License-Identifier: MIT
#include "files/lif_text.h"

#include <algorithm>

namespace tamrik::files {

void LifTextWalk::endRecord() {
  // An empty record is an empty line; one that ends in LF has its own.
  if (sink_ && (length_ == 0 || last_ != '\n')) sink_(lineEnd_);
  state_ = length_ % 2 != 0 ? State::kFiller : State::kLengthHigh;
}

void LifTextWalk::feed(std::string_view bytes) {
  std::size_t at = 0;
  while (at < bytes.size() && state_ != State::kEnded) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    switch (state_) {
      case State::kLengthHigh:
        length_ = static_cast<uint16_t>(byte << 8);
        state_ = State::kLengthLow;
        ++at;
        break;
      case State::kLengthLow:
        length_ = static_cast<uint16_t>(length_ | byte);
        ++at;
        if (length_ == 0xFFFF) {
          state_ = State::kEnded;
        } else {
          left_ = length_;
          last_ = '\0';
          if (left_ == 0) {
            endRecord();
          } else {
            state_ = State::kText;
          }
        }
        break;
      case State::kText: {
        // A record's text goes out in one piece, or as much of it as came.
        const std::size_t take = std::min<std::size_t>(left_, bytes.size() - at);
        const std::string_view text = bytes.substr(at, take);
        if (sink_) sink_(text);
        last_ = text.back();
        left_ -= static_cast<uint32_t>(take);
        at += take;
        if (left_ == 0) endRecord();
        break;
      }
      case State::kFiller:
        // Its value varies from disk to disk and means nothing.
        ++at;
        state_ = State::kLengthHigh;
        break;
      case State::kEnded:
        break;
    }
  }
}

bool isLifText(std::string_view file) {
  LifTextWalk walk;
  walk.feed(file);
  return walk.ended();
}

std::string lifTextOf(std::string_view file, std::string_view lineEnd) {
  std::string text;
  LifTextWalk walk([&text](std::string_view piece) { text += piece; }, lineEnd);
  walk.feed(file);
  return text;
}

}  // namespace tamrik::files
