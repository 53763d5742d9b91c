#!/usr/bin/env bash
# Builds the fuzz flavour and gives every fuzz target (build-fuzz/fuzz/fuzz_*) a short run.
# A crash, a sanitizer report or a broken property fails the run; the input that caused it is
# kept in build-fuzz/fuzz-findings/. The corpora grow in a temporary folder, not in the checkout.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${QM_FUZZ_SECONDS:-20}

./scripts/build.sh fuzz

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
findings=build-fuzz/fuzz-findings
mkdir -p "$findings"

ran=0
for target in build-fuzz/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  echo "-- $name, ${seconds} s"
  mkdir -p "$corpus/$name"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=0 \
       -artifact_prefix="$findings/$name-" "$corpus/$name" >"$corpus/$name.log" 2>&1; then
    tail -n 40 "$corpus/$name.log" >&2
    echo "$name found a fault; the input is in $findings/" >&2
    exit 1
  fi
  grep -E '^(Done|#[0-9]+ +DONE)' "$corpus/$name.log" || tail -n 1 "$corpus/$name.log"
  ran=$((ran + 1))
done

if [ "$ran" -eq 0 ]; then
  echo "no fuzz targets were built in build-fuzz/fuzz/" >&2
  exit 1
fi
