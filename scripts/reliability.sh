#!/usr/bin/env bash
# Every reliability check in one command, ending with the figures that docs/reliability.md
# quotes:
#   1. the fault matrix, the real faults (full disk, read-only folder, inputs that vanish) and
#      the hostile names (reliability/);
#   2. crash safety: quellmark-cli killed at random moments (scripts/crash_safety.sh);
#   3. the batch files under Wine's cmd (scripts/wine_batch.sh);
#   4. every fuzzer, for a long run each.
#
# usage: scripts/reliability.sh [--fuzz-minutes M | --fuzz-seconds S] [--crash-runs N]
#                               [--crash-seconds S]
#   defaults: 10 minutes per fuzzer, 400 crash runs within 300 seconds.
# Builds build/ and build-fuzz/ (or $QM_BUILD_DIR and $QM_FUZZ_BUILD_DIR when set). Exits 1 when
# any check failed; the figures are also left in <build>/reliability-figures.txt.
set -uo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds=600
crash_runs=400
crash_seconds=300
while [ $# -gt 0 ]; do
  case "$1" in
    --fuzz-minutes) fuzz_seconds=$(($2 * 60)); shift 2 ;;
    --fuzz-seconds) fuzz_seconds=$2; shift 2 ;;
    --crash-runs) crash_runs=$2; shift 2 ;;
    --crash-seconds) crash_seconds=$2; shift 2 ;;
    *) echo "usage: $0 [--fuzz-minutes M | --fuzz-seconds S] [--crash-runs N] [--crash-seconds S]" >&2
       exit 64 ;;
  esac
done

./scripts/setup.sh
build=${QM_BUILD_DIR:-build}
fuzz_build=${QM_FUZZ_BUILD_DIR:-build-fuzz}
if [ -z "${QM_BUILD_DIR:-}" ]; then ./scripts/build.sh release || exit 1; fi
if [ -z "${QM_FUZZ_BUILD_DIR:-}" ]; then ./scripts/build.sh fuzz || exit 1; fi
export QM_BUILD_DIR=$build

figures=()
failed=0
step() { echo; echo "== $*"; }

step "fault matrix, real faults, hostile names"
log=$(mktemp)
cmake --build "$build" --target quellmark_reliability >/dev/null || exit 1
"$build/reliability/quellmark_reliability" >"$log" 2>&1
status=$?
grep -E '^\[  (PASSED|FAILED|SKIPPED) |^fault matrix|Skipped|^\[==' "$log"
[ "$status" = 0 ] || { failed=1; grep -B2 -A12 'Failure' "$log" | head -80; }
while IFS= read -r line; do figures+=("$line"); done < <(grep '^fault matrix' "$log")
tests=$(sed -n 's/^\[==========\] \([0-9]*\) tests.*ran.*/\1/p' "$log")
passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\./\1/p' "$log")
skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?,.*/\1/p' "$log")
figures+=("suite: ${tests:-0} tests of the matrix, real faults and hostile names: ${passed:-0} passed, ${skipped:-0} skipped, status $status")
rm -f "$log"

step "crash safety"
log=$(mktemp)
./scripts/crash_safety.sh --runs "$crash_runs" --seconds "$crash_seconds" >"$log" 2>&1
status=$?
cat "$log"
figures+=("$(tail -n 1 "$log")")
rm -f "$log"
[ "$status" = 0 ] || failed=1

step "batch files under Wine's cmd"
out=$(./scripts/wine_batch.sh)
status=$?
echo "$out"
figures+=("$(tail -n 1 <<<"$out")")
[ "$status" = 0 ] || failed=1

[ "$fuzz_seconds" -gt 0 ] || fuzz_seconds=1  # 0 would mean no limit at all
step "fuzzing, ${fuzz_seconds} s per target"
corpus=$(mktemp -d)
findings=$fuzz_build/fuzz-findings
mkdir -p "$findings"
for target in "$fuzz_build"/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  mkdir -p "$corpus/$name"
  nice "$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/$name-" "$corpus/$name" >"$corpus/$name.log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$corpus/$name.log")
  cov=$(grep -oE 'cov: [0-9]+' "$corpus/$name.log" | tail -n 1 | grep -oE '[0-9]+')
  units=$(ls "$corpus/$name" | wc -l)
  if [ "$status" = 0 ]; then
    line="$name: ${runs:-?} executions in $fuzz_seconds s (address and undefined sanitizers), ${cov:-?} coverage edges, $units corpus inputs, 0 findings"
  else
    failed=1
    line="$name: FINDING after ${runs:-?} executions, input kept in $findings/"
    tail -n 30 "$corpus/$name.log"
  fi
  echo "$line"
  figures+=("$line")
done
rm -rf "$corpus"

step "figures"
printf '%s\n' "${figures[@]}" | tee "$build/reliability-figures.txt"
if [ "$failed" = 0 ]; then echo "All reliability checks passed."; else echo "Some reliability checks FAILED."; fi
exit "$failed"
