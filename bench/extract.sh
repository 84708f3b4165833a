#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times tamrik -x as a user runs it: every file of 1,000 generated floppies
# (30 files each, 1 to 24 sectors) copied out, one run per floppy into a
# folder of its own, as stored and with -a, against cp copying the same
# bytes from files prepared beforehand, one cp per floppy. Whole processes,
# the same shell loop around both; paired rounds, medians and the ratio.
# The floppies' files are filled first: LIF text records in the TEXT files
# (type 1), so that -a converts them, and bytes in all the others, so that
# no file is a hole.
# usage: bench/extract.sh [IMAGES [RUNS]]   (default 1000 images, 5 runs)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timing.sh
images=${1:-1000}
runs=${2:-5}
build=${TAMRIK_BENCH_BUILD:-build-bench}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAMRIK_BENCHMARK=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tamrik tamrik_make_images >/dev/null
program=$(realpath "${TAMRIK_BENCH_PROGRAM:-$build/tamrik}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/images"
"$build/tamrik_make_images" "$work/images" "$images"
python3 - "$work/images" <<'PY'
import os, sys
folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    path = os.path.join(folder, name)
    data = bytearray(open(path, "rb").read())
    start, length = int.from_bytes(data[8:12], "big"), int.from_bytes(data[16:20], "big")
    for slot in range(length * 8):
        at = start * 256 + slot * 32
        kind = int.from_bytes(data[at + 10:at + 12], "big")
        if kind == 0xFFFF:
            break
        first = int.from_bytes(data[at + 12:at + 16], "big") * 256
        size = int.from_bytes(data[at + 16:at + 20], "big") * 256
        if kind == 1:
            text = bytearray()
            line = 0
            while True:
                record = b"%d PRINT \"LINE %d OF THE FILE\"" % (line * 10, line)
                if len(text) + len(record) + 6 > size:
                    break
                text += len(record).to_bytes(2, "big") + record + b"\0" * (len(record) & 1)
                line += 1
            text += b"\xff" * (size - len(text))
            data[first:first + size] = text
        else:
            data[first:first + size] = bytes((first + i) * 7 & 0xFF for i in range(size))
    open(path, "wb").write(data)
PY

# The files each floppy gives, made once by the program and kept as cp's
# sources; checked to be what -x writes in every timed run below.
list=$(cd "$work/images" && ls)
for form in stored text; do
  option=-x
  [ "$form" = text ] && option=-xa
  for name in $list; do
    mkdir -p "$work/$form/$name"
    (cd "$work/$form/$name" && "$program" "$option" "../../images/$name")
  done
done
files=$(find "$work/stored" -type f | wc -l)
bytes=$(du -sb --apparent-size "$work/stored" | cut -f1)
texts=$(find "$work/text" -name '*.txt' | wc -l)

# Empty folders to copy into, made outside the timed runs.
fresh() {
  rm -rf "$work/out"
  mkdir "$work/out"
  # shellcheck disable=SC2086
  (cd "$work/out" && mkdir $list)
}
# One process per floppy, started by the same loop.
extractAll() {
  local option=$1 name
  for name in $list; do
    cd "$work/out/$name"
    "$program" "$option" "$work/images/$name"
  done
}
copyAll() {
  local form=$1 name
  for name in $list; do
    cp "$work/$form/$name"/* "$work/out/$name"/
  done
}
same() {
  diff -r "$work/$1" "$work/out" >/dev/null || { echo "-x wrote other files than $1" >&2; exit 1; }
}

: >"$work/rounds"
for round in $(seq "$runs"); do
  line=""
  for form in stored text; do
    option=-x
    [ "$form" = text ] && option=-xa
    # Every other round cp goes first.
    for which in $( ((round % 2)) && echo "tamrik cp" || echo "cp tamrik"); do
      fresh
      if [ "$which" = tamrik ]; then
        t=$(TIMEFORMAT='%3R %3U %3S'; { time extractAll "$option"; } 2>&1)
        same "$form"
        tamrik_time=$t
      else
        t=$(TIMEFORMAT='%3R %3U %3S'; { time copyAll "$form"; } 2>&1)
        cp_time=$t
      fi
    done
    line="$line $tamrik_time $cp_time"
  done
  echo "$line" >>"$work/rounds"
done
cd "$work"

echo "$images floppies, $files files, $bytes bytes as stored, $texts of the files LIF text; $runs paired rounds, medians:"
printf '%-7s %8s %7s %7s   %8s %7s %7s   %10s %10s\n' "" "wall" "user" "sys" "cp wall" "user" "sys" \
  "wall ratio" "cpu ratio"
for form in stored text; do
  base=0
  [ "$form" = text ] && base=6
  # The processor time, user and system, of tamrik over cp's, round by round:
  # on a loaded machine the steadier of the two ratios.
  cpu=$(awk -v b="$base" '{ t = $(b + 2) + $(b + 3); c = $(b + 5) + $(b + 6); if (c > 0) print t / c }' \
    "$work/rounds" | median)
  printf '%-7s %8s %7s %7s   %8s %7s %7s   %10s %10s\n' "$form" \
    "$(col $((base + 1)))" "$(col $((base + 2)))" "$(col $((base + 3)))" \
    "$(col $((base + 4)))" "$(col $((base + 5)))" "$(col $((base + 6)))" \
    "$(ratio $((base + 1)) $((base + 4)))" "$cpu"
done
