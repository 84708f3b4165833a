// SPDX-License-Identifier: MIT
// What a run says on standard error, one way for every kind of run: one
// line a thing, "tamrik: ", the names it concerns each followed by ": ",
// then plain words. Control bytes anywhere in it are masked, so that a name
// or a label from an image can neither split the line nor drive a terminal.
#ifndef TAMRIK_CLI_DIAGNOSTICS_H_
#define TAMRIK_CLI_DIAGNOSTICS_H_

#include <initializer_list>
#include <string_view>

#include "listing/line_writer.h"

namespace tamrik {

// The run finished, but something it was asked to do was not done.
inline constexpr int kExitIncomplete = 3;

class Diagnostics {
 public:
  explicit Diagnostics(const LineWriter& writer) : writer_(writer) {}

  // What the reading met that the listing does not show: the exit status
  // stays as it is.
  void note(std::initializer_list<std::string_view> names, std::string_view words) const;
  // Something asked for was not done: the exit status becomes 3.
  void failure(std::initializer_list<std::string_view> names, std::string_view words);

  bool failed() const { return failed_; }

 private:
  const LineWriter& writer_;
  bool failed_ = false;
};

}  // namespace tamrik

#endif  // TAMRIK_CLI_DIAGNOSTICS_H_
