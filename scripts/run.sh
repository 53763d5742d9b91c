#!/usr/bin/env bash
# Sets everything up, builds, and starts the desktop program (arguments go to it).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh release
if [ -x build/desktop/quellmark ]; then
  exec build/desktop/quellmark "$@"
fi
exec build/quellmark-cli --help
