#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: every reason text of the program is asserted by a test.
#
# The convention: a reason text (the words that say why a file was refused,
# why reading stopped, what was lost) is one string literal with the suffix
# _reason (src/reason/reason.h), wherever in the program's sources it is
# used, e.g. "the HFE header is cut short"_reason. A value given with it
# stands as "{}" in the literal and is put in by fill(); the rest of the
# words stay in the literal. A literal split over lines by clang-format
# counts as one.
#
# This script collects every such literal from src/ (test sources and the
# test builders test_*.* left out) and looks for it in the test sources
# (*_test.cpp under src/, and all of tests/), where "{}" matches anything
# and string literals split over lines are joined first. It names every
# reason that no test holds and fails. bash, grep and sed only.
set -euo pipefail
cd "$(dirname "$0")/.."

# Adjacent string literals across line breaks, joined: "abc "<newline> "def" -> "abc def".
joined() { sed -z -E 's/"[[:space:]]*\n[[:space:]]*(u8)?"//g' "$@"; }

# The files git keeps: a work tree's node_modules and builds are no tests.
mapfile -t program < <(git ls-files 'src/*.h' 'src/*.cpp' | grep -v -e '_test\.cpp$' -e '/test_[^/]*$')
mapfile -t tests < <(git ls-files 'src/*_test.cpp' 'tests/*')
[ ${#program[@]} -gt 0 ] && [ ${#tests[@]} -gt 0 ] || { echo "reasons: no sources found" >&2; exit 1; }

# Few processes: the texts are matched by bash itself.
tested=$(joined "${tests[@]}" | tr -d '\0')
mapfile -t texts < <(joined "${program[@]}" | tr -d '\0' | grep -oE '"([^"\\]|\\.)*"_reason' |
  sed -E 's/^"//; s/"_reason$//' | sort -u)
[ ${#texts[@]} -gt 0 ] || { echo "reasons: no reason texts found; is the _reason suffix still used?" >&2; exit 1; }
# Each text as an extended regular expression, "{}" matching any value.
mapfile -t patterns < <(printf '%s\n' "${texts[@]}" |
  sed -E -e 's/[][\\.^$*+?(){}|\/]/\\&/g' -e 's/\\\{\\\}/.*/g')

# grep, line by line: bash's own regular expressions took minutes over the
# whole text once reasons held several values.
missing=0
for i in "${!texts[@]}"; do
  if ! grep -qE -- "${patterns[i]}" <<<"$tested"; then
    where=$(grep -lF -- "${texts[i]}" "${program[@]}" | tr '\n' ' ' || true)
    echo "reasons: no test asserts \"${texts[i]}\" (${where% })" >&2
    missing=$((missing + 1))
  fi
done
if [ "$missing" -gt 0 ]; then
  echo "reasons: $missing of ${#texts[@]} reason texts are asserted by no test" >&2
  exit 1
fi
echo "reasons: all ${#texts[@]} reason texts are asserted by a test"
