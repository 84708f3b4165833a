#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: formatting and static analysis. Fails on any file clang-format would
# change and on any clang-tidy finding (.clang-tidy makes them errors).
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v clang-format >/dev/null || need+=(clang-format)
command -v clang-tidy >/dev/null || need+=(clang-tidy)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi

# Quiet on success but for the last line: only findings are printed.
git ls-files -co --exclude-standard 'src/*' 'tests/*' 'fuzz/*' 'bench/*' |
  grep -E '\.(c|cpp|h)$' | xargs -r clang-format --dry-run --Werror

cmake -S . -B build-tidy -DCMAKE_BUILD_TYPE=Release -DTAMRIK_TESTS=OFF \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
# The program's own sources as this platform compiles them; tests and the
# test-image builder are left out.
sources=$(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' build-tidy/compile_commands.json |
  grep '/src/' | grep -v -e '_test\.cpp$' -e '/test_image\.cpp$' -e '/test_sample\.cpp$' | sort -u)
[ -n "$sources" ] || { echo "no sources in build-tidy/compile_commands.json" >&2; exit 1; }
# clang-tidy counts on stderr the warnings it did not show (system headers
# and the like): "NNN warnings generated." Those lines go; the rest stays.
status=0
# shellcheck disable=SC2086
clang-tidy -p build-tidy --quiet $sources 2>build-tidy/stderr.txt || status=$?
grep -v -E '^[0-9]+ warnings? generated\.$' build-tidy/stderr.txt >&2 || true
[ "$status" -eq 0 ] || { echo "lint: clang-tidy findings" >&2; exit "$status"; }
echo "lint: clean"
