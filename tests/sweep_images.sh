#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Lists every file of a folder of real images: each LIF volume must give a
# complete listing and each file under not-lif/ the refusal line, with exit
# status 0 and nothing on standard error.
# usage: sweep_images.sh PROGRAM FOLDER
set -uo pipefail
program=$1
folder=$2
listed=0 refused=0 failed=0
# Standard error of each run, in a file of this run's own.
err=$(mktemp)
trap 'rm -f "$err"' EXIT
while IFS= read -r -d '' image; do
  out=$("$program" "$image" 2>"$err")
  status=$?
  last=$(printf '%s\n' "$out" | tail -n 1)
  case "$image" in
    */not-lif/*) want="Unknown or corrupt disk image" ; first=$(printf '%s\n' "$out" | head -n 1) ;;
    *) want="End of Directory" ; first=$last ;;
  esac
  if [ $status -ne 0 ] || [ -s "$err" ] || [ "$first" != "$want" ]; then
    echo "FAIL: $image (status $status): $(printf '%s' "$out" | head -n 3)"
    failed=$((failed + 1))
  elif [ "$want" = "End of Directory" ]; then
    listed=$((listed + 1))
  else
    refused=$((refused + 1))
  fi
done < <(find "$folder" -type f ! -name '*.md' ! -name '*.tsv' -print0 | sort -z)
echo "real images: $listed listed, $refused refused, $failed failed"
[ $failed -eq 0 ]
