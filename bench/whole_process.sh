#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times the whole program over a folder of generated floppies, output to a
# pipe, against bench/minimal_lister.c, which makes only the system calls a
# lister needs for the same folder and writes as many lines.
# usage: bench/whole_process.sh [IMAGES [RUNS]]   (default 10000 images, 5 runs)
# Builds into build-bench (or $TAMRIK_BENCH_BUILD); TAMRIK_BENCH_PROGRAM times
# another build of the program instead, such as an older one. Prints the best
# wall time of the runs, seconds per image, peak memory and the ratio
# tamrik/minimal.
set -euo pipefail
cd "$(dirname "$0")/.."
images=${1:-10000}
runs=${2:-5}
build=${TAMRIK_BENCH_BUILD:-build-bench}

[ -x /usr/bin/time ] || { apt-get update -qq && apt-get install -y -qq time; }
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAMRIK_BENCHMARK=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tamrik tamrik_make_images >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/images"
"$build/tamrik_make_images" "$work/images" "$images"
cc -O2 -Wall -Wextra -o "$work/minimal_lister" bench/minimal_lister.c

tamrik=("${TAMRIK_BENCH_PROGRAM:-$build/tamrik}" -n "$work/images/*")
minimal=("$work/minimal_lister" "$work/images")

# Same number of lines, or the comparison means nothing.
lines_tamrik=$("${tamrik[@]}" | wc -l)
lines_minimal=$("${minimal[@]}" | wc -l)
if [ "$lines_tamrik" != "$lines_minimal" ]; then
  echo "line counts differ: tamrik $lines_tamrik, minimal $lines_minimal" >&2
  exit 1
fi

# Best of the runs, in nanoseconds; the last run's /usr/bin/time report is
# kept for the peak memory.
best() {
  local report=$1
  shift
  local min=
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    /usr/bin/time -v -o "$report" "$@" | cat >/dev/null
    end=$(date +%s%N)
    local took=$((end - start))
    if [ -z "$min" ] || [ "$took" -lt "$min" ]; then min=$took; fi
  done
  echo "$min"
}
peak() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1"; }
cpu() { awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} END {printf "%.2f user + %.2f sys", u, s}' "$1"; }

t=$(best "$work/time_tamrik" "${tamrik[@]}")
m=$(best "$work/time_minimal" "${minimal[@]}")

echo "images: $images generated floppies of 30 entries, $lines_tamrik output lines, best of $runs runs"
awk -v t="$t" -v m="$m" -v n="$images" \
    -v pt="$(peak "$work/time_tamrik")" -v pm="$(peak "$work/time_minimal")" \
    -v ct="$(cpu "$work/time_tamrik")" -v cm="$(cpu "$work/time_minimal")" 'BEGIN {
  printf "tamrik : %.3f s, %.1f us per image, peak %d KiB (%s s)\n", t / 1e9, t / 1e3 / n, pt, ct
  printf "minimal: %.3f s, %.1f us per image, peak %d KiB (%s s)\n", m / 1e9, m / 1e3 / n, pm, cm
  printf "ratio tamrik/minimal: %.2f\n", t / m
}'
