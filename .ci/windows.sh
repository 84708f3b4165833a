#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: the Windows build, cross-compiled with mingw-w64 and run under Wine.
# Runs its unit tests, packs the download zip and unpacks it into an empty
# folder, then runs the end-to-end suite on the tamrik.exe from the zip and
# checks that it lists the sample and the real images exactly as the native
# build does, once CR LF is read as LF.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/listings.sh

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
[ -e /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v wine64 >/dev/null || [ -x /usr/lib/wine/wine64 ] || need+=(wine64)
[ -e /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v groff >/dev/null || need+=(groff-base)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTAMRIK_WERROR=ON >/dev/null
cmake --build build-win -j"$(nproc)"
# The native program and the end-to-end suite, built apart from the others.
cmake -S . -B build-e2e-win -DCMAKE_BUILD_TYPE=Release -DTAMRIK_WERROR=ON >/dev/null
cmake --build build-e2e-win -j"$(nproc)"

# A prefix of our own. Its first start builds it and talks on stderr, so it
# is done here once. A server that stays up for the whole stage keeps each
# later start short and spares the starts a server on its way out; it is
# ended with the stage.
export WINEPREFIX="$PWD/build-win/wineprefix" WINEDEBUG=-all
"$wineserver" -p >/dev/null 2>&1 || true
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$wine" wineboot --init >/dev/null 2>&1

log=build-win/test.log
summary() { grep -E '^\[==========\] [0-9]+ tests? from .* ran|^\[  (PASSED|SKIPPED|FAILED) +\]' "$1" | tr -d '\r'; }

echo "-- unit tests under Wine"
if ! "$wine" build-win/tests/tamrik_tests.exe >"$log" 2>&1; then
  tr -d '\r' <"$log"
  echo "unit tests failed under Wine" >&2
  exit 1
fi
summary "$log"
# The console's code page needs standard output on a console: under Wine, a
# pseudo-terminal gives one.
result=build-win/console.xml
rm -f "$result"
script -qec "$(printf '%q ' "$wine" build-win/tests/tamrik_tests.exe \
  --gtest_filter='ConsoleOutput.*' --gtest_output="xml:$result")" /dev/null >/dev/null 2>&1 || true
if ! grep -q 'result="completed"' "$result" 2>/dev/null || grep -q -e '<failure' -e 'result="skipped"' "$result"; then
  cat "$result" 2>/dev/null
  echo "the console test failed or did not run on a console under Wine" >&2
  exit 1
fi
echo "console code page test passed on a console"

echo "-- the download zip"
rm -rf build-win/zip build-win/unpacked
(cd build-win && cpack -G ZIP -B zip) >"$log" 2>&1 || { cat "$log"; exit 1; }
zip=$(ls build-win/zip/tamrik-*-win64.zip)
version=$(sed -n 's/^project(tamrik VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$(basename "$zip")" = "tamrik-$version-win64.zip" ] || { echo "zip named $zip" >&2; exit 1; }
mkdir build-win/unpacked
(cd build-win/unpacked && cmake -E tar xf "../../$zip")
contents=$(cd build-win/unpacked && find . -type f | sort | tr '\n' ' ')
[ "$contents" = "./LICENSE.txt ./README.txt ./tamrik.exe ./tamrik.txt " ] ||
  { echo "the zip holds: $contents" >&2; exit 1; }
for text in README.txt LICENSE.txt tamrik.txt; do
  # Every line ends in CR LF, and nothing is left of bold or underline.
  if tr -d '\r' <"build-win/unpacked/$text" | cmp -s - "build-win/unpacked/$text" ||
    grep -q -e '^$' -e $'[^\r]$' "build-win/unpacked/$text" || grep -q $'[\b\e]' "build-win/unpacked/$text"; then
    echo "$text in the zip is not plain text with CR LF line ends" >&2
    exit 1
  fi
done
grep -q "^Tamrik $version " build-win/unpacked/README.txt || { echo "README.txt does not name $version" >&2; exit 1; }
echo "$(basename "$zip"): $contents"
exe=$PWD/build-win/unpacked/tamrik.exe

echo "-- end-to-end tests of tamrik.exe from the zip under Wine"
TAMRIK_PROGRAM="$(printf '%q ' "$wine" "$exe")" \
  TAMRIK_EXPECT_CRLF=1 TAMRIK_WINDOWS_PATHS=1 \
  build-e2e-win/tests/tamrik_e2e_tests >"$log" 2>&1 || {
  cat "$log"
  echo "end-to-end tests failed under Wine" >&2
  exit 1
}
summary "$log"

echo "-- a name outside the ANSI code pages, listed on a console"
# The UTF-8 manifest brings the name whole; the console's code page shows it
# as it is. Wine's console wraps every character in escape sequences.
console=build-win/console
rm -rf "$console"
mkdir -p "$console"
name=$'sn\xe2\x98\x83w\xc3\xa9.lif'  # sn, a snowman, w, e acute: UTF-8
cp samples/sample.lif "$console/$name"
shown=$(cd "$console" && LC_ALL=C.UTF-8 script -qec "$(printf '%q ' "$wine" "$exe" -n '*.lif')" /dev/null 2>&1 |
  sed -E 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r')
if ! grep -qF "$name" <<<"$shown" || ! grep -q '^End of Directory' <<<"$shown"; then
  printf '%s\n' "$shown" | head -5
  echo "tamrik.exe did not list $name on a console" >&2
  exit 1
fi
echo "listed $name on a console"

echo "-- listings of both builds compared"
collect_images
out=build-win/compare
mkdir -p "$out"
started_again=0
# Once in a few hundred starts Wine itself ends at once with status 1 and
# not a byte written; such a start is made again, once, and counted.
windows_listing() {
  local status
  for _ in 1 2; do
    "$wine" "$exe" "$1" "Z:$2" 2>"$out/other.err" | sed 's/\r$//' >"$out/other.txt"
    status=${PIPESTATUS[0]}
    if [ "$status" != 1 ] || [ -s "$out/other.txt" ] || [ -s "$out/other.err" ]; then break; fi
    started_again=$((started_again + 1))
  done
  return "$status"
}
compare_listings build-e2e-win/tamrik Windows "$out" windows_listing
echo "($started_again Wine starts that gave nothing made again)"
echo "-- every file of the real images copied out by tamrik.exe, against their sectors"
TAMRIK_WINE=$wine TAMRIK_EXE=$exe .ci/extract.sh
