#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times the whole program as a user runs it, against two references built
# from bench/: syscall_floor.c, which makes only the system calls any lister
# needs, no stat among them, and writes the same lines from templates (the
# floor), and minimal_lister.c, a plain C lister that formats its lines with
# snprintf.
#   1. 10,000 generated floppies of 30 entries, tamrik -n 'folder/*', output
#      to a pipe: medians of paired runs, user time per output line, the
#      ratios to both references, and the system calls of tamrik and the
#      floor (strace -c), with the stat-family calls per image.
#   2. One directory of 65,536 entries to /dev/null, with and without -s.
# Beside the times, the instructions of the whole process under callgrind,
# the same on every run: per output line over 1,000 of the floppies, and
# for the directory of 65,536 entries with and without -s.
# usage: bench/whole_process.sh [IMAGES [RUNS]]   (default 10000 images, 9 runs)
# Builds into build-bench (or $TAMRIK_BENCH_BUILD); TAMRIK_BENCH_PROGRAM times
# another build of the program instead, such as an older one.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timing.sh
images=${1:-10000}
runs=${2:-9}
build=${TAMRIK_BENCH_BUILD:-build-bench}

[ -x /usr/bin/time ] && command -v valgrind >/dev/null && command -v strace >/dev/null ||
  { apt-get update -qq && apt-get install -y -qq time valgrind strace; }
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAMRIK_BENCHMARK=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tamrik tamrik_make_images >/dev/null
program=${TAMRIK_BENCH_PROGRAM:-$build/tamrik}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/images" "$work/large" "$work/counted" "$work/one"
"$build/tamrik_make_images" "$work/images" "$images"
"$build/tamrik_make_images" "$work/counted" 1000
"$build/tamrik_make_images" "$work/one" 1
"$build/tamrik_make_images" "$work/large" 1 65536
cc -O2 -Wall -Wextra -o "$work/syscall_floor" bench/syscall_floor.c
cc -O2 -Wall -Wextra -o "$work/minimal_lister" bench/minimal_lister.c

tamrik=("$program" -n "$work/images/*")
floor=("$work/syscall_floor" "$work/images")
minimal=("$work/minimal_lister" "$work/images")

# Same number of lines, or the comparison means nothing; and sound images,
# about which nothing is said.
said=$("${tamrik[@]}" 2>&1 >/dev/null | head -3)
if [ -n "$said" ]; then
  echo "tamrik said something of the generated images: $said" >&2
  exit 1
fi
lines=$("${tamrik[@]}" | wc -l)
for reference in floor minimal; do
  declare -n command=$reference
  count=$("${command[@]}" | wc -l)
  if [ "$count" != "$lines" ]; then
    echo "line counts differ: tamrik $lines, $reference $count" >&2
    exit 1
  fi
done

# Paired: each round runs every command once, back to back, so that a
# change in the machine's load falls on all of them alike.
: >"$work/rounds"
for round in $(seq "$runs"); do
  pairedRound "$round" tamrik floor minimal >>"$work/rounds"
done

# Instructions executed by the whole process, start-up included.
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    awk '/Collected/ { print $NF }'
}
counted=$("$program" -n "$work/counted/*" | wc -l)
countedTamrik=$(instructions "$program" -n "$work/counted/*")
countedFloor=$(instructions "$work/syscall_floor" "$work/counted")

# System calls of one whole run by name, "name count" a line, in the order
# join needs.
syscalls() {
  strace -f -c -o "$work/strace" "$@" >/dev/null
  awk '$4 ~ /^[0-9]+$/ && $NF != "total" { print $NF, $4 }' "$work/strace" | LC_ALL=C sort
}
statCalls() { awk '$1 ~ /stat/ && $1 !~ /statfs/ { n += $2 } END { print n + 0 }' "$1"; }
syscalls "${tamrik[@]}" >"$work/calls_tamrik"
syscalls "${floor[@]}" >"$work/calls_floor"
# The calls of a run over one image: what the run makes once, whatever
# the number of images.
syscalls "$program" -n "$work/one/*" >"$work/calls_one"

/usr/bin/time -v -o "$work/peak_tamrik" "${tamrik[@]}" | cat >/dev/null
/usr/bin/time -v -o "$work/peak_floor" "${floor[@]}" | cat >/dev/null

echo "1. $images generated floppies of 30 entries, $lines lines to a pipe, medians of $runs paired runs"
printf '   %-14s %8s %8s %8s\n' "" wall user sys
printf '   %-14s %8.3f %8.3f %8.3f s   peak %d KiB\n' tamrik "$(col 1)" "$(col 2)" "$(col 3)" "$(peak "$work/peak_tamrik")"
printf '   %-14s %8.3f %8.3f %8.3f s   peak %d KiB\n' "syscall floor" "$(col 4)" "$(col 5)" "$(col 6)" "$(peak "$work/peak_floor")"
printf '   %-14s %8.3f %8.3f %8.3f s\n' "minimal lister" "$(col 7)" "$(col 8)" "$(col 9)"
awk -v u="$(col 2)" -v f="$(col 5)" -v n="$lines" 'BEGIN {
  printf "   user time per line: tamrik %.0f ns, floor %.0f ns\n", u * 1e9 / n, f * 1e9 / n }'
echo "   ratio tamrik/floor (wall): $(ratio 1 4)"
echo "   ratio tamrik/minimal (wall): $(ratio 1 7)"
awk -v t="$countedTamrik" -v f="$countedFloor" -v n="$counted" 'BEGIN {
  printf "   instructions per line (callgrind, 1,000 floppies, %d lines): tamrik %.0f, floor %.0f\n",
    n, t / n, f / n }'
echo "   system calls of one run (strace -c -f):"
printf '   %-14s %8s %8s\n' "" tamrik floor
LC_ALL=C join -a1 -a2 -e 0 -o 0,1.2,2.2 "$work/calls_tamrik" "$work/calls_floor" |
  sort -k2,2nr -k3,3nr -k1,1 | awk '{ printf "   %-14s %8d %8d\n", $1, $2, $3 }'
awk -v t="$(statCalls "$work/calls_tamrik")" -v o="$(statCalls "$work/calls_one")" \
  -v f="$(statCalls "$work/calls_floor")" -v n="$images" 'BEGIN {
  perImage = n > 1 ? (t - o) / (n - 1) : t - o
  printf "   stat-family calls: tamrik %d, floor %d; tamrik per image beyond the first %.2f\n",
    t, f, perImage }'

large=$(ls "$work/large"/*)
: >"$work/large_rounds"
for _ in $(seq "$runs"); do
  read -r pw _ _ < <(timedNull "$program" "$large")
  read -r sw _ _ < <(timedNull "$program" -s "$large")
  echo "$pw $sw" >>"$work/large_rounds"
done
echo "2. one directory of 65,536 entries to /dev/null, medians of $runs paired runs"
echo "   unsorted $(awk '{ print $1 }' "$work/large_rounds" | median) s, -s $(awk '{ print $2 }' "$work/large_rounds" | median) s"
echo "   ratio -s/unsorted: $(awk '{ print $2 / $1 }' "$work/large_rounds" | median)"
awk -v u="$(instructions "$program" "$large")" -v s="$(instructions "$program" -s "$large")" 'BEGIN {
  printf "   instructions (callgrind): unsorted %.1f million, -s %.1f million, ratio %.2f\n",
    u / 1e6, s / 1e6, s / u }'
