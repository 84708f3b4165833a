#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: the builds a distribution makes beyond x86_64. i686 Linux (32-bit,
# where off_t needs large-file support) runs natively on an x86_64 kernel
# with the cross C library, or under qemu-user where the kernel has no
# 32-bit support; s390x Linux (64-bit big-endian) runs under qemu-user.
# For each: the unit tests, the end-to-end suite (with images over 2 and
# 4 GiB and a directory past 4 GiB) and the package test, then the sample
# and the real images and containers listed byte for byte as the native
# build lists them.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/listings.sh

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v i686-linux-gnu-g++ >/dev/null || need+=(g++-i686-linux-gnu)
command -v s390x-linux-gnu-g++ >/dev/null || need+=(g++-s390x-linux-gnu)
command -v qemu-i386-static >/dev/null && command -v qemu-s390x-static >/dev/null ||
  need+=(qemu-user-static)
[ -e /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi

# The native program the listings are compared with, from these sources.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target tamrik >/dev/null

collect_images

for target in i686-linux-gnu s390x-linux-gnu; do
  build=build-${target%%-*}
  run=$PWD/cmake/$target-run.sh
  log=$build/ci.log
  mkdir -p "$build"
  echo "-- $target: build"
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/$target.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DTAMRIK_WERROR=ON >"$log" 2>&1 || { cat "$log"; exit 1; }
  cmake --build "$build" -j"$(nproc)" >"$log" 2>&1 || { cat "$log"; exit 1; }

  # The hostile suite stays native: forkpty and fork hang under qemu-user,
  # and its address-space limit leaves qemu no room.
  echo "-- $target: unit, end-to-end and package tests"
  ctest --test-dir "$build" -E tamrik_hostile --output-on-failure >"$log" 2>&1 || {
    cat "$log"
    echo "$target tests failed" >&2
    exit 1
  }
  grep -E 'tests passed' "$log"
  TAMRIK_PROGRAM="$run $PWD/$build/tamrik" "$run" "$build/tests/tamrik_e2e_tests" \
    --gtest_filter='EndToEnd.ImagesAndDirectoriesPast2And4GiB' >"$log" 2>&1 || { cat "$log"; exit 1; }
  echo "images of 3 and 5 GiB, a directory past 4 GiB: $(grep -E '^\[  PASSED  \]' "$log")"
  grep -h -m1 '^package: ' "$build/Testing/Temporary/LastTest.log" || true

  echo "-- $target: listings compared with the native build"
  cross_listing() { "$run" "$build/tamrik" "$1" "$2" >"$build/other.txt" 2>"$build/other.err"; }
  compare_listings build/tamrik "$target" "$build" cross_listing
done
