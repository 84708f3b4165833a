// SPDX-License-Identifier: MIT
#ifndef TAMRIK_CLI_WILDCARD_H_
#define TAMRIK_CLI_WILDCARD_H_

#include <string_view>

namespace tamrik {

// Whole-name match with '*' (any run, also empty) and '?' (any one byte).
// Case-sensitive; no classes or escapes. Linear in practice: a later '*'
// supersedes the backtracking point of an earlier one.
bool wildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace tamrik

#endif  // TAMRIK_CLI_WILDCARD_H_
