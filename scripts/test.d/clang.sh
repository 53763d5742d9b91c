#!/usr/bin/env bash
# The whole tree, tests included, must build with clang too, warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/../.."
./scripts/build.sh clang
echo "clang build: clean"
