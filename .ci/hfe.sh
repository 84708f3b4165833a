#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: LIF volumes in HFE files, the MFM cells that floppy emulators keep.
#   1. The real file of ../shared/hfe lists as the volume its sectors hold:
#      label HP4952, 80 entries, none used, 630,784 bytes.
#   2. HFE files that ../shared/tools/raw2hfe.py (a writer that knows nothing
#      of LIF) writes from the LIF images of ../shared/images, padded or cut
#      to each layout below, list as those images do, with and without -s -b.
#   3. Directory sectors written with a wrong data CRC, without a data field
#      or twice list as the sectors hold them.
# Skipped without ../shared. Uses build/ (the Release build with tests),
# making it when it is missing; pypy3 runs the writer several times faster.
set -euo pipefail
cd "$(dirname "$0")/.."

writer=../shared/tools/raw2hfe.py
real=../shared/hfe/Empty_Disc_4952A.hfe
if [ ! -f "$writer" ] || [ ! -f "$real" ] || [ ! -d ../shared/images ]; then
  echo "hfe: ../shared not found, skipped"
  exit 0
fi
command -v pypy3 >/dev/null || { apt-get update -qq && apt-get install -y -qq pypy3 >/dev/null; } || true
python=$(command -v pypy3 || command -v python3)
if [ ! -x build/tamrik ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTAMRIK_TESTS=ON >/dev/null
fi
cmake --build build -j"$(nproc)" --target tamrik >/dev/null
program=$PWD/build/tamrik

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "-- the real file"
"$program" "$real" >"$work/real.txt" 2>"$work/real.err"
for pattern in "^Volume label: HP4952$" "^Max 80 entries, unused 80 .* Total 630784 bytes," \
  "^ No\. " "^End of Directory$"; do
  grep -qE "$pattern" "$work/real.txt" || {
    cat "$work/real.txt" "$work/real.err"
    echo "$real: no line like \"$pattern\"" >&2
    exit 1
  }
done
# The table's heading and the end, and no row between them.
[ "$(wc -l <"$work/real.txt")" -eq 6 ] || { cat "$work/real.txt"; echo "$real: rows listed" >&2; exit 1; }
[ ! -s "$work/real.err" ] || { cat "$work/real.err"; echo "$real: standard error" >&2; exit 1; }
echo "$(basename "$real"): HP4952, 80 entries, none used, 630784 bytes"

# same LABEL FILE RAW: FILE lists as RAW under both option sets, standard
# error included; one line to $work/results for each comparison.
same() {
  local label=$1 file=$2 raw=$3 options
  for options in "" "-s -b"; do
    # shellcheck disable=SC2086
    # A container's volume has no size to ask: the raw image's line on files
    # past its end is left out.
    if cmp -s <("$program" $options "$file" 2>&1) \
      <("$program" $options "$raw" 2>&1 | grep -v 'passes the end of the image'); then
      echo same >>"$work/results"
    else
      echo different >>"$work/results"
      echo "DIFFERENT: tamrik $options $label"
      # shellcheck disable=SC2086
      diff <("$program" $options "$file" 2>&1) \
        <("$program" $options "$raw" 2>&1 | grep -v 'passes the end of the image') | head -10 || true
    fi
  done
}

# name cylinders heads sectors size first-id interleave skew rate tracks
layouts=(
  "ids-from-1 77 2 16 256 1 2 3 250 80"
  "ids-from-0 80 2 16 256 0 5 2 250 80"
  "one-side 70 1 16 256 0 3 1 250 70"
  "512-byte 80 2 9 512 1 2 1 250 80"
  "high-density 80 2 18 512 1 3 2 500 82"
)

# layout IMAGE NUMBER LAYOUT...: the image in one layout, in a folder of its own.
layout() {
  local image=$1 number=$2 name cylinders heads sectors size first interleave skew rate tracks
  read -r name cylinders heads sectors size first interleave skew rate tracks <<<"$3"
  local dir=$work/$number-$name
  mkdir -p "$dir/raw" "$dir/hfe"
  cat "$image" >"$dir/raw/disk"
  truncate -s $((cylinders * heads * sectors * size)) "$dir/raw/disk"
  "$python" "$writer" "$dir/raw/disk" "$dir/hfe/disk" --cyls "$cylinders" --heads "$heads" \
    --spt "$sectors" --size "$size" --first-id "$first" --interleave "$interleave" \
    --skew "$skew" --rate "$rate" --tracks "$tracks" >"$dir/log" 2>&1 ||
    { cat "$dir/log"; echo "raw2hfe failed on $image" >&2; echo different >>"$work/results"; return; }
  same "$name $image" "$dir/hfe/disk" "$dir/raw/disk"
  rm -rf "$dir"
}

echo "-- HFE files written by raw2hfe from the real images"
: >"$work/results"
images=0
while IFS= read -r -d '' image; do
  [ "$("$program" "$image" 2>/dev/null | tail -n 1)" = "End of Directory" ] || continue
  images=$((images + 1))
  for shape in "${layouts[@]}"; do
    layout "$image" "$images" "$shape" &
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
  done
done < <(find ../shared/images -type f ! -name '*.md' ! -name '*.tsv' -print0 | sort -z)
wait
compared=$(wc -l <"$work/results")
failed=$(grep -c different "$work/results" || true)
echo "$compared listings compared over $images LIF images in ${#layouts[@]} layouts, $failed different"
[ "$compared" -eq $((images * ${#layouts[@]} * 2)) ] || { echo "comparisons missing" >&2; exit 1; }
[ "$failed" -eq 0 ] || { echo "HFE files list differently from their raw volumes" >&2; exit 1; }

echo "-- a directory sector damaged"
# The first real image whose directory starts on the first track, as a
# 77 x 2 x 16 x 256 disk with ids from 1: its first directory sector lies
# on cylinder 0, head 0, id block + 1.
first_dir() { od -A n -t u1 -j 8 -N 4 "$1" | awk '{ print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }'; }
image=""
while IFS= read -r -d '' candidate; do
  [ "$("$program" "$candidate" 2>/dev/null | tail -n 1)" = "End of Directory" ] || continue
  block=$(first_dir "$candidate")
  if [ "$block" -ge 1 ] && [ "$block" -lt 16 ]; then image=$candidate; break; fi
done < <(find ../shared/images -type f ! -name '*.md' ! -name '*.tsv' -print0 | sort -z)
[ -n "$image" ] || { echo "no real image with its directory on the first track" >&2; exit 1; }
sector=0:0:$((block + 1))
mkdir -p "$work/damaged"
raw=$work/damaged/disk
cat "$image" >"$raw"
truncate -s $((77 * 2 * 16 * 256)) "$raw"
# changed BLOCK HOW: the raw volume with one block zeroed or inverted.
changed() {
  "$python" - "$raw" "$1" "$2" "$work/damaged/want" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = int(sys.argv[2]) * 256
data[at:at + 256] = bytes(256) if sys.argv[3] == "zero" else bytes(b ^ 0xFF for b in data[at:at + 256])
open(sys.argv[4], "wb").write(data)
PY
}
# damaged FLAGS WANT NOTE: the HFE file written with FLAGS lists as WANT,
# and standard error holds NOTE after "tamrik: disk: " (or nothing).
damaged() {
  local flags=$1 want=$2 note=$3
  # shellcheck disable=SC2086
  # At 500 kbit/s a track has room for a sector written twice.
  "$python" "$writer" "$raw" "$work/damaged/hfe" --cyls 77 --heads 2 --spt 16 --first-id 1 \
    --interleave 2 --skew 3 --rate 500 $flags
  mkdir -p "$work/damaged/file"
  mv "$work/damaged/hfe" "$work/damaged/file/disk"
  local options
  for options in "" "-s -b"; do
    # shellcheck disable=SC2086
    "$program" $options "$work/damaged/file/disk" >"$work/damaged/got" 2>"$work/damaged/err"
    # shellcheck disable=SC2086
    "$program" $options "$want" >"$work/damaged/expected" 2>"$work/damaged/want_err"
    # The note, then what the raw image says of its own directory (a
    # damaged one can hold files that clash), under the HFE file's name.
    local expected_err
    expected_err=$({
      [ -z "$note" ] || echo "tamrik: disk: $note"
      LC_ALL=C sed -E -e 's/^tamrik: [^:]*: /tamrik: disk: /' \
        -e 's/(; )?file "[^"]*" \([^)]*\) passes the end of the image[^;]*//' \
        -e '/^tamrik: disk: $/d' "$work/damaged/want_err"
    })
    if ! cmp -s "$work/damaged/got" "$work/damaged/expected" ||
      [ "$(cat "$work/damaged/err")" != "$expected_err" ]; then
      echo "DIFFERENT: tamrik $options, $flags on $image"
      diff "$work/damaged/got" "$work/damaged/expected" | head -10 || true
      cat "$work/damaged/err"
      exit 1
    fi
  done
  echo "$flags: ${note:-nothing on standard error}"
}
damaged "--bad-crc $sector" "$raw" \
  "directory sector $block was recorded with a data error; it is shown as recorded"
changed "$block" zero
damaged "--missing $sector" "$work/damaged/want" \
  "directory sector $block was recorded without data; it was read as zeros"
damaged "--dup $sector" "$raw" ""
changed "$block" invert
damaged "--bad-crc $sector --dup $sector" "$work/damaged/want" ""
