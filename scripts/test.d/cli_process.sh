#!/usr/bin/env bash
# The command-line program as a process among others: output that cannot be written, pipes
# where files are expected, and SIGTERM in the middle of a split.
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
check "a pipe named as the batch file is replaced" 0 "$cli" split movie.bin --size 1000b --dest other.qkd --batch
check "a pipe as the source" 2 "$cli" split pipe.bat --size 1b

# SIGTERM once the parts are being written: the run stops as if Cancel were confirmed. The
# process is held still from the moment its first part appears until the signal is in.
truncate -s 300M big.bin
"$cli" split big.bin --size 1mb 2>"$work/term" &
pid=$!
while [ ! -e big.001 ] && kill -0 "$pid" 2>/dev/null; do :; done
kill -STOP "$pid" 2>/dev/null
kill -TERM "$pid" 2>/dev/null
kill -CONT "$pid" 2>/dev/null
wait "$pid"
status=$?
if [ "$status" = 7 ]; then
  if ls big.0* >/dev/null 2>&1; then echo "cli_process.sh: FAILED: parts left after SIGTERM" >&2; failed=1; fi
elif [ "$status" = 0 ]; then
  # The split had passed its last block: the signal must be reported as too late.
  grep -q "too late" "$work/term" || { echo "cli_process.sh: FAILED: late SIGTERM swallowed" >&2; failed=1; }
else
  echo "cli_process.sh: FAILED: SIGTERM gave status $status: $(cat "$work/term")" >&2
  failed=1
fi
exit $failed
