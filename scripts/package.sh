#!/usr/bin/env bash
# Builds a release in build-package/ and writes the Debian package to
# dist/quellmark_<version>_<arch>.deb. Run scripts/setup.sh first on a fresh machine.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v help2man >/dev/null || {
  echo "package.sh: help2man is missing (scripts/setup.sh installs it)" >&2
  exit 1
}
dir=build-package
# Debian's own build flags, hardening included; the preprocessor's go in with the compiler's,
# since CMake reads no CPPFLAGS.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
# Flags are read when the build folder is first configured only; start afresh so they apply.
rm -rf "$dir"
# Only what the package holds is built: the tests are not, so installing must not build "all".
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" --target quellmark quellmark-cli qm_papers
(cd "$dir" && cpack -G DEB >/dev/null)
mkdir -p dist
for deb in "$dir"/quellmark_*.deb; do
  mv -f "$deb" dist/
  echo "dist/$(basename "$deb")"
done
