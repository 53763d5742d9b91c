#!/usr/bin/env bash
# Builds the fuzz flavour and gives every fuzz target (build-fuzz/fuzz/fuzz_*) a short run.
# A crash, a sanitizer report or a broken property fails the run; the input that caused it is
# kept in build-fuzz/fuzz-findings/. The corpora grow in a temporary folder, not in the checkout.
set -euo pipefail
cd "$(dirname "$0")/../.."
./scripts/build.sh fuzz
corpus=$(mktemp -d) && trap 'rm -rf "$corpus"' EXIT && mkdir -p build-fuzz/fuzz-findings
targets=(build-fuzz/fuzz/fuzz_*)
[ -x "${targets[0]}" ] || { echo "no fuzz targets were built in build-fuzz/fuzz/" >&2; exit 1; }
for target in "${targets[@]}"; do
  name=$(basename "$target") && mkdir -p "$corpus/$name"
  echo "-- $name, ${QM_FUZZ_SECONDS:-20} s"
  "$target" -max_total_time="${QM_FUZZ_SECONDS:-20}" -print_final_stats=0 \
    -artifact_prefix="build-fuzz/fuzz-findings/$name-" "$corpus/$name" 2>&1 | tail -n 3
done
