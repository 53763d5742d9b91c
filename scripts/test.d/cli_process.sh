#!/usr/bin/env bash
# The command-line program as a process among others: output that cannot be written, and pipes
# where files are expected (signals are in tests/cli_test.cpp).
#   QM_BUILD_DIR=build-x scripts/test.d/cli_process.sh   (default: build)
set -uo pipefail
cd "$(dirname "$0")/../.."
cli=$(realpath "${QM_BUILD_DIR:-build}/quellmark-cli")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
check() {  # check WHAT WANTED_STATUS COMMAND...: the command must end, with that status
  local what=$1 want=$2
  shift 2
  timeout 20 "$@" >/dev/null 2>"$work/err"
  local got=$?
  if [ "$got" != "$want" ]; then
    echo "cli_process.sh: FAILED: $what: status $got, not $want: $(head -c 300 "$work/err")" >&2
    failed=1
  fi
}

cd "$work"
head -c 3000 /dev/urandom >movie.bin
"$cli" split movie.bin --size 1000b >/dev/null 2>&1 || { echo "cli_process.sh: no set" >&2; exit 1; }
mkfifo pipe.qkd pipe.bat other.bat

check "info into /dev/full" 9 sh -c "\"$cli\" info movie.qkd >/dev/full"
check "count into /dev/full" 9 sh -c "\"$cli\" count movie.bin >/dev/full"
check "--help into /dev/full" 9 sh -c "\"$cli\" --help >/dev/full"
check "a pipe as the data file of info" 9 "$cli" info pipe.qkd
check "a pipe named as the batch file is replaced" 0 "$cli" split movie.bin --size 1000b --dest other.qkd --batch --overwrite
check "a pipe as the source" 2 "$cli" split pipe.bat --size 1b

exit $failed
