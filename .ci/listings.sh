# SPDX-License-Identifier: MIT
# Sourced by the CI stages that check that another build lists every image
# byte for byte as the native build does.

# Sets `images`: the sample, then the real images and containers (HFE
# files too) beside the clone, where there are any.
collect_images() {
  images=("$PWD/samples/sample.lif")
  local folder image
  for folder in ../shared/images ../shared/containers ../shared/hfe; do
    [ -d "$folder" ] || continue
    while IFS= read -r -d '' image; do images+=("$image"); done \
      < <(find "$(cd "$folder" && pwd)" -type f -print0 | sort -z)
  done
}

# compare_listings NATIVE NAME OUT RUN: lists every image under -n, -s and
# -b with the NATIVE program and with the command RUN, called as
# `RUN OPTION IMAGE` to write OUT/other.txt and OUT/other.err and return the
# program's status. Fails when a status, an error output or a listing
# differs; NAME says which build in the messages. The locals have names of
# their own: RUN sees them, and would take one of them for its own variable.
compare_listings() {
  local native_program=$1 build_name=$2 out_folder=$3 other_listing=$4
  local compared=0 failed=0 image option native other
  for image in "${images[@]}"; do
    for option in -n -s -b; do
      set +e
      "$native_program" "$option" "$image" >"$out_folder/native.txt" 2>"$out_folder/native.err"
      native=$?
      "$other_listing" "$option" "$image"
      other=$?
      set -e
      compared=$((compared + 1))
      if [ "$native" != "$other" ] || [ -s "$out_folder/native.err" ] || [ -s "$out_folder/other.err" ] ||
        ! cmp -s "$out_folder/native.txt" "$out_folder/other.txt"; then
        failed=$((failed + 1))
        echo "DIFFERENT: tamrik $option $image (status $native native, $other $build_name)"
        diff "$out_folder/native.txt" "$out_folder/other.txt" | head -20 || true
        cat "$out_folder/native.err" "$out_folder/other.err" | head -5
      fi
    done
  done
  echo "$compared listings compared over ${#images[@]} files, $failed different"
  if [ "$failed" -ne 0 ]; then
    echo "the $build_name build lists differently from the native one" >&2
    return 1
  fi
}
