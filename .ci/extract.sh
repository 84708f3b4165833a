#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: tamrik -x copies every file of every real image out as stored, with
# -a and with -e, and each copy is checked by .ci/extract_check.py against
# the sectors of a raw volume that it reads on its own:
#   - a raw image of ../shared/images against itself;
#   - a container of ../shared/containers against the raw volume libdsk's
#     dsktrans decodes from it;
#   - the HFE file of ../shared/hfe, and HFE files that raw2hfe.py writes
#     from the LIF images of ../shared/images, against the raw volumes.
# With TAMRIK_WINE set to a Wine program and TAMRIK_EXE to a tamrik.exe,
# the same checks run on the Windows build (text lines in CR LF).
# Skipped without ../shared. Uses build/ (the Release build), making it when
# it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -d ../shared/images ] || [ ! -d ../shared/containers ]; then
  echo "extract: ../shared not found, skipped"
  exit 0
fi
command -v dsktrans >/dev/null || { apt-get update -qq && apt-get install -y -qq libdsk-utils; }
python=$(command -v pypy3 || command -v python3)
if [ ! -x build/tamrik ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTAMRIK_TESTS=ON >/dev/null
fi
cmake --build build -j"$(nproc)" --target tamrik >/dev/null
native=$PWD/build/tamrik

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Triples of label, image and raw volume.
args=()
while IFS= read -r -d '' image; do
  args+=("$image" "$image" "$image")
done < <(find "$(cd ../shared/images && pwd)" -type f ! -name '*.md' ! -name '*.tsv' -print0 | sort -z)

mkdir -p "$work/raw" "$work/hfe"
number=0
while IFS= read -r -d '' file; do
  number=$((number + 1))
  case $(head -c 3 "$file" | tr -d '\0') in
    TD* | td*) type=tele ;;
    IMD) type=imd ;;
    *) echo "not a container: $file" >&2; exit 1 ;;
  esac
  # dsktrans stops at a damaged track; what it wrote before stands, in
  # whole tracks of 4 KiB (16 sectors of 256 bytes), and the checker
  # compares as far as that goes.
  dsktrans -itype "$type" "$file" -otype raw "$work/raw/$number" >/dev/null 2>&1 || true
  truncate -s $(($(stat -c %s "$work/raw/$number") / 4096 * 4096)) "$work/raw/$number"
  args+=("$file" "$file" "$work/raw/$number")
done < <(find "$(cd ../shared/containers && pwd)" -type f ! -name '*.md' ! -name '*.tsv' -print0 | sort -z)

# The real HFE file holds an empty volume (.ci/hfe.sh): no file to copy
# and nothing said, in each form.
if [ -d ../shared/hfe ]; then
  while IFS= read -r -d '' file; do
    for option in -x -xa -xe; do
      rm -rf "$work/empty" && mkdir "$work/empty"
      (cd "$work/empty" && "$native" "$option" "$file") >"$work/empty.out" 2>&1 ||
        { cat "$work/empty.out"; echo "tamrik $option $file failed" >&2; exit 1; }
      [ ! -s "$work/empty.out" ] && [ -z "$(ls -A "$work/empty")" ] ||
        { echo "tamrik $option $file wrote something" >&2; exit 1; }
    done
    echo "$(basename "$file"): no file, nothing said"
  done < <(find "$(cd ../shared/hfe && pwd)" -type f -name '*.hfe' -print0 | sort -z)
fi

# HFE files written as a 77 x 2 x 16 x 256 disk with ids from 1 from the
# first three LIF images of each collection that fit on it, a few at a
# time: .ci/hfe.sh lists them all in five layouts, and the files' sectors
# come through the same reader.
writer=../shared/tools/raw2hfe.py
if [ -f "$writer" ]; then
  hfe_one() {
    local image=$1 out=$2
    cat "$image" >"$out.raw"
    truncate -s $((77 * 2 * 16 * 256)) "$out.raw"
    "$python" "$writer" "$out.raw" "$out.hfe" --cyls 77 --heads 2 --spt 16 --first-id 1 \
      --interleave 2 --skew 3 >/dev/null
  }
  declare -A taken=()
  while IFS= read -r -d '' image; do
    collection=${image#../shared/images/}
    collection=${collection%%/*}
    [ "${taken[$collection]:-0}" -lt 3 ] || continue
    [ "$(stat -c %s "$image")" -le $((77 * 2 * 16 * 256)) ] || continue
    [ "$("$native" "$image" 2>/dev/null | tail -n 1)" = "End of Directory" ] || continue
    taken[$collection]=$((${taken[$collection]:-0} + 1))
    number=$((number + 1))
    hfe_one "$image" "$work/hfe/$number" &
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n; done
    args+=("raw2hfe $image" "$work/hfe/$number.hfe" "$work/hfe/$number.raw")
  done < <(find ../shared/images -type f ! -name '*.md' ! -name '*.tsv' -print0 | sort -z)
  wait
fi

if [ -n "${TAMRIK_WINE:-}" ]; then
  # Every Wine start costs about a second, and the copying code is the
  # same on both systems but for the files it makes: under Wine, every
  # fifth raw image with the containers and the HFE files.
  sampled=()
  for ((i = 0; i < ${#args[@]}; i += 3)); do
    case ${args[i]} in
      ../* | /*/shared/images/*) (((i / 3) % 5 == 0)) || continue ;;
    esac
    sampled+=("${args[@]:i:3}")
  done
  echo "-- tamrik.exe under Wine ($((${#sampled[@]} / 3)) of $((${#args[@]} / 3)) images)"
  "$python" .ci/extract_check.py --crlf --windows "$work/out" "$TAMRIK_WINE" "$TAMRIK_EXE" -- "${sampled[@]}"
else
  echo "-- native"
  "$python" .ci/extract_check.py "$work/out" "$native" -- "${args[@]}"
fi
