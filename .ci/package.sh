#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: builds the Debian package, checks it with lintian, installs it for real
# with dpkg -i, checks the installed program and manual page, and removes the
# package again.
# Run as root on a machine that may be changed.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
command -v man >/dev/null || need+=(man-db)
command -v groff >/dev/null || need+=(groff-base)
command -v lintian >/dev/null || need+=(lintian)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi

cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DTAMRIK_TESTS=OFF -DTAMRIK_WERROR=ON
cmake --build build-pkg -j"$(nproc)"
# A build without tests compiles no test code: no image builder, fuzz seeds
# or replay tool.
test_objects=$(find build-pkg -name '*.o' | grep -E '_test\.|/test_|/fuzz/|/bench/|/tests/' || true)
[ -z "$test_objects" ] || { echo "test code built with -DTAMRIK_TESTS=OFF: $test_objects" >&2; exit 1; }
rm -rf build-pkg/packages
(cd build-pkg && cpack -G DEB -B packages)
deb=$(ls build-pkg/packages/tamrik_*.deb)

# Debian's checks, the pedantic and informational ones included; any error
# or warning fails. Overridden tags are in packaging/lintian-overrides.
echo "-- lintian --pedantic -I $(basename "$deb")"
set +e
findings=$(lintian --pedantic -I --fail-on error,warning "$deb" 2>&1)
status=$?
set -e
findings=$(grep -v '^running with root privileges' <<<"$findings" || true)
[ -z "$findings" ] || echo "$findings"
if [ "$status" -ne 0 ] || grep -q '^[EW]: ' <<<"$findings"; then
  echo "lintian failed or reports errors or warnings (status $status)" >&2
  exit 1
fi
echo "lintian: no errors or warnings"

if dpkg -s tamrik >/dev/null 2>&1; then
  echo "a tamrik package is installed already; not replacing it" >&2
  exit 1
fi
dpkg -i "$deb"
trap 'dpkg -r tamrik >/dev/null' EXIT

installed=$(command -v tamrik)
[ "$installed" = /usr/bin/tamrik ] || { echo "tamrik found at '$installed', not /usr/bin" >&2; exit 1; }
tamrik samples/sample.lif | diff - tests/golden/sample.txt
tamrik -s -b samples/sample.lif | diff - tests/golden/sample_sorted_bytes.txt
warnings=$(MANWIDTH=80 man --warnings tamrik 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "manual page warnings: $warnings" >&2; exit 1; }
MANWIDTH=80 man tamrik | grep -q '^EXIT STATUS' || { echo "man tamrik does not render" >&2; exit 1; }
echo "package: $(basename "$deb") installed, listed the sample and showed its manual page"
