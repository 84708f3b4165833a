#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: builds the web page with emscripten and tests it in headless Chromium
# against the native program's output. Fails on the first failed step.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v emcc >/dev/null || need+=(emscripten)
[ -x /usr/bin/chromium ] || need+=(chromium)
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi

# The page is compared with build/tamrik, which must be built from these
# sources, not left over from an older one.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target tamrik

# The CMake project points emcc's JS optimizer at Debian's acorn itself.
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release
cmake --build build-web
[ -f build-web/site/index.html ] || { echo "no site in build-web/site" >&2; exit 1; }

cd tests/web
npm ci --no-audit --no-fund
node --test
