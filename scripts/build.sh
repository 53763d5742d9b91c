#!/usr/bin/env bash
# Configures and builds one flavour: build.sh [release|sanitize|fuzz|clang]
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}
case "$flavour" in
  release) dir=build; args=(-DCMAKE_BUILD_TYPE=Release -DQM_WERROR=ON) ;;
  sanitize) dir=build-sanitize; args=(-DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_WERROR=ON) ;;
  fuzz) dir=build-fuzz; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_FUZZ=ON -DQM_WITH_QT=OFF
                              -DCMAKE_CXX_COMPILER=clang++) ;;
  clang) dir=build-clang; args=(-DCMAKE_BUILD_TYPE=Release -DQM_WERROR=ON
                                -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "usage: $0 [release|sanitize|fuzz|clang]" >&2; exit 64 ;;
esac
cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
