#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: LIF volumes in Teledisk and ImageDisk files, against libdsk's dsktrans,
# an independent reader and writer of both formats.
#   1. Every file of ../shared/containers lists, with and without -s -b, as
#      the raw volume that dsktrans decodes from it lists, and holds the same
#      bytes (as far as dsktrans gets: it stops at the first damaged track).
#   2. ImageDisk files that dsktrans writes from the raw images of
#      ../shared/images, padded or cut to each geometry below, list as those
#      raw images do and hold the same bytes.
# Standard error is compared with the listings: a sound container, like a
# raw image, says nothing there.
# Skipped without ../shared. Uses build/ (the Release build with tests),
# making it when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -d ../shared/containers ] || [ ! -d ../shared/images ]; then
  echo "containers: ../shared not found, skipped"
  exit 0
fi
command -v dsktrans >/dev/null || { apt-get update -qq && apt-get install -y -qq libdsk-utils; }
if [ ! -x build/tamrik ] || [ ! -x build/tests/dump_volume ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTAMRIK_TESTS=ON >/dev/null
fi
cmake --build build -j"$(nproc)" --target tamrik dump_volume >/dev/null
program=$PWD/build/tamrik
dump=$PWD/build/tests/dump_volume

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
compared=0 listed=0 failed=0

# same LABEL FILE RAW [BYTES]: FILE lists as RAW under both option sets, and
# its volume is RAW's bytes (the first BYTES of them, when given). A raw
# image cut to a geometry says which files pass its end; a container's
# volume has no size to ask, so that line is left out of the comparison.
same() {
  local label=$1 file=$2 raw=$3 bytes=${4:-}
  for options in "" "-s -b"; do
    compared=$((compared + 1))
    # shellcheck disable=SC2086
    "$program" $options "$file" >"$work/got" 2>&1 || true
    # shellcheck disable=SC2086
    "$program" $options "$raw" 2>&1 | grep -v 'passes the end of the image' >"$work/want" || true
    if ! cmp -s "$work/got" "$work/want"; then
      failed=$((failed + 1))
      echo "DIFFERENT: tamrik $options $label"
      diff "$work/got" "$work/want" | head -10 || true
    elif [ "$(tail -n 1 "$work/got")" = "End of Directory" ]; then
      listed=$((listed + 1))
    fi
  done
  "$dump" "$file" >"$work/volume"
  local size
  size=${bytes:-$(stat -c %s "$raw")}
  if [ "$(stat -c %s "$work/volume")" -lt "$size" ] || ! cmp -s -n "$size" "$work/volume" "$raw"; then
    failed=$((failed + 1))
    echo "DIFFERENT BYTES: $label, $(cmp -n "$size" "$work/volume" "$raw" 2>&1 | head -1)"
  fi
}

echo "-- real containers against dsktrans"
while IFS= read -r -d '' file; do
  case $(head -c 3 "$file" | tr -d '\0') in
    TD* | td*) type=tele ;;
    IMD) type=imd ;;
    *) echo "not a container: $file" >&2; exit 1 ;;
  esac
  # dsktrans ends with an error at a damaged track; what it wrote before
  # stands, in whole tracks of 4 KiB (16 sectors of 256 bytes).
  dsktrans -itype "$type" "$file" -otype raw "$work/raw" >"$work/log" 2>&1 || true
  whole=$(($(stat -c %s "$work/raw") / 4096 * 4096))
  [ "$whole" -gt 0 ] || { cat "$work/log"; echo "dsktrans decoded nothing of $file" >&2; exit 1; }
  same "$(basename "$file")" "$file" "$work/raw" "$whole"
  rm -f "$work/raw"
done < <(find ../shared/containers -type f ! -name '*.md' ! -name '*.tsv' -print0 | sort -z)

echo "-- ImageDisk files written by dsktrans from the real images"
# name cylinders heads sectors first-id sector-size
geometries=(
  "lif77x2x16x256 77 2 16 1 256"
  "lif35x2x16x256 35 2 16 0 256"
  "lif70x1x16x256 70 1 16 0 256"
  "lif80x2x9x512 80 2 9 1 512"
  "lif77x2x5x1024 77 2 5 1 1024"
)
mkdir "$work/home"
for geometry in "${geometries[@]}"; do
  read -r name cylinders heads sectors first size <<<"$geometry"
  cat >>"$work/home/.libdskrc" <<EOF
[$name]
description = $cylinders x $heads x $sectors x $size, ids from $first
sides = alt
cylinders = $cylinders
heads = $heads
sectors = $sectors
secbase = $first
secsize = $size
datarate = DD
fm = N
gap3 = 42
gap4a = 82

EOF
done
images=0
while IFS= read -r -d '' image; do
  images=$((images + 1))
  for geometry in "${geometries[@]}"; do
    read -r name cylinders heads sectors first size <<<"$geometry"
    cat "$image" >"$work/padded"
    truncate -s $((cylinders * heads * sectors * size)) "$work/padded"
    HOME=$work/home dsktrans -itype raw -format "$name" "$work/padded" -otype imd "$work/image.imd" \
      >"$work/log" 2>&1 || { cat "$work/log"; echo "dsktrans failed on $image" >&2; exit 1; }
    same "$name $image" "$work/image.imd" "$work/padded"
    rm -f "$work/padded" "$work/image.imd"
  done
done < <(find ../shared/images -path ../shared/images/not-lif -prune -o -type f \
  ! -name '*.md' ! -name '*.tsv' -print0 | sort -z)

echo "$compared listings compared ($listed complete, the rest refused both ways), $images images in ${#geometries[@]} geometries, $failed different"
[ "$failed" -eq 0 ] || { echo "containers list differently from their raw volumes" >&2; exit 1; }
