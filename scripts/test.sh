#!/usr/bin/env bash
# Sets everything up and runs every test: the suite in a normal and in a sanitizer build, the
# fuzzers briefly, and the end-to-end run of the real window under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

echo "== test lines against code lines"
./scripts/test_ratio.sh

echo "== release build and tests"
./scripts/build.sh release
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")

echo "== sanitizer build and tests"
./scripts/build.sh sanitize
(cd build-sanitize && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")

for extra in scripts/test.d/*.sh; do
  [ -e "$extra" ] || continue
  echo "== $extra"
  "$extra"
done
echo "All tests passed."
