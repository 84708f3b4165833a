#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times listing LIF volumes kept in Teledisk files in the advanced form and
# in HFE files against listing the same volumes as raw images, whole
# process: COUNT generated 77 x 2 x 16 floppies (default 200), `tamrik
# 'folder/*'` over each folder with its output to a pipe, in rounds of one
# run each (default 9). Prints the medians, the ratios (to raw) and the peak
# memory; the listings of the three folders must hold the same lines. Then
# the decode bombs that make_containers writes: time and memory to reach
# the 16 MiB bound, HFE against Teledisk.
# usage: bench/containers.sh [COUNT [RUNS]]
# Builds into build-bench (or $TAMRIK_BENCH_BUILD); TAMRIK_BENCH_PROGRAM times
# another build of the program instead.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timing.sh
count=${1:-200}
runs=${2:-9}
build=${TAMRIK_BENCH_BUILD:-build-bench}

[ -x /usr/bin/time ] || { apt-get update -qq && apt-get install -y -qq time; }
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAMRIK_BENCHMARK=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tamrik tamrik_make_containers >/dev/null
program=${TAMRIK_BENCH_PROGRAM:-$build/tamrik}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tamrik_make_containers" "$work" "$count"
packed=("$program" "$work/td0/*")
hfe=("$program" "$work/hfe/*")
raw=("$program" "$work/raw/*")

# The same listings, or the comparison means nothing; the folders may give
# their files in another order.
"${packed[@]}" | sort >"$work/packed.txt"
"${hfe[@]}" | sort >"$work/hfe.txt"
"${raw[@]}" | sort >"$work/raw.txt"
cmp -s "$work/packed.txt" "$work/raw.txt" || { echo "the Teledisk listings differ" >&2; exit 1; }
cmp -s "$work/hfe.txt" "$work/raw.txt" || { echo "the HFE listings differ" >&2; exit 1; }
lines=$(wc -l <"$work/raw.txt")

: >"$work/rounds"
for round in $(seq "$runs"); do
  pairedRound "$round" packed raw hfe >>"$work/rounds"
done

/usr/bin/time -v -o "$work/peak_packed" "${packed[@]}" >/dev/null
/usr/bin/time -v -o "$work/peak_raw" "${raw[@]}" >/dev/null
/usr/bin/time -v -o "$work/peak_hfe" "${hfe[@]}" >/dev/null

echo "$count generated floppies, $(du -sk "$work/td0" | cut -f1) KiB packed, $(du -sk "$work/hfe" | cut -f1) KiB HFE and $(du -sk "$work/raw" | cut -f1) KiB raw, $lines lines to a pipe, medians of $runs rounds"
printf '   %-20s %8s %8s %8s\n' "" wall user sys
printf '   %-20s %8.3f %8.3f %8.3f s   peak %d KiB\n' "Teledisk, advanced" "$(col 1)" "$(col 2)" "$(col 3)" "$(peak "$work/peak_packed")"
printf '   %-20s %8.3f %8.3f %8.3f s   peak %d KiB\n' "HFE" "$(col 7)" "$(col 8)" "$(col 9)" "$(peak "$work/peak_hfe")"
printf '   %-20s %8.3f %8.3f %8.3f s   peak %d KiB\n' "raw" "$(col 4)" "$(col 5)" "$(col 6)" "$(peak "$work/peak_raw")"
cpu_ratio() { awk -v a="$1" '{ if ($5 + $6 > 0) print ($a + $(a + 1)) / ($5 + $6) }' "$work/rounds" | median; }
echo "   ratio packed/raw: $(ratio 1 4) wall, $(cpu_ratio 2) user + sys"
echo "   ratio HFE/raw:    $(ratio 7 4) wall, $(cpu_ratio 8) user + sys (at most 2 is the aim)"

# The decode bombs: how long each format takes to reach the 16 MiB bound,
# and the memory it holds meanwhile; medians of the runs, peak of the last.
bomb() {
  local file=$1 round
  for round in $(seq "$runs"); do timedNull "$program" "$file" 2>/dev/null; done >"$work/bomb_times"
  /usr/bin/time -v -o "$work/bomb_peak" "$program" "$file" >/dev/null 2>&1 || true
  printf '   %-20s %8.3f %8.3f %8.3f s   peak %d KiB   (%d KiB file)\n' "$2" \
    "$(awk '{ print $1 }' "$work/bomb_times" | median)" "$(awk '{ print $2 }' "$work/bomb_times" | median)" \
    "$(awk '{ print $3 }' "$work/bomb_times" | median)" "$(peak "$work/bomb_peak")" \
    "$(($(stat -c %s "$file") / 1024))"
}
echo "decode bombs, sectors that claim 8 KiB each, to the 16 MiB bound (medians of $runs runs)"
bomb "$work/bomb/bomb.hfe" "HFE, 255 cylinders"
bomb "$work/bomb/bomb.td0" "Teledisk, 255 tracks"
