#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fuzzes the in-memory listing from the generated seeds for a while (60 s, or
# FUZZ_SECONDS). Fails on a crash, a sanitizer report or a malformed listing;
# libFuzzer then leaves the input as build-fuzz/crash-*. Skipped without clang.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ not found, skipped"
  exit 0
fi
seconds=${FUZZ_SECONDS:-60}
build=build-fuzz

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTAMRIK_FUZZ=ON -DTAMRIK_TESTS=OFF -DTAMRIK_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tamrik_fuzz tamrik_fuzz_seeds

"$build/tamrik_fuzz_seeds" "$build/seeds"
# New inputs go to a scratch corpus, so the seeds stay as generated.
corpus="$build/corpus"
mkdir -p "$corpus"
"$build/tamrik_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=5 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$build/" "$corpus" "$build/seeds"
