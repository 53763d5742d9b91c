#!/usr/bin/env bash
# What checksums cost: quellmark-cli's split with NAME.sha256 against GNU split -b without any,
# and its join, which checks every part while it copies, against checking and joining by hand
# (sha256sum -c NAME.sha256, then cat). Also the split and join without checksums, for the
# difference. 5 MB parts, warm cache.
#
#   bench/checksum.sh [--size MiB] [--dir FOLDER] [--runs N] [--cli PATH]
#
# Builds the release in build-bench-release (as bench/run.sh does) unless --cli names a program.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
size_mib=1024
base=${TMPDIR:-/tmp}
runs=8
cli=""
while (($#)); do
  case "$1" in
    --size) size_mib=${2:?}; shift 2 ;;
    --dir) base=${2:?}; shift 2 ;;
    --runs) runs=${2:?}; shift 2 ;;
    --cli) cli=${2:?}; shift 2 ;;
    *) echo "bench/checksum.sh: unknown argument $1" >&2; exit 64 ;;
  esac
done

command -v hyperfine >/dev/null || {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends hyperfine jq >/dev/null
}
if [[ -z $cli ]]; then
  build=$root/build-bench-release
  cmake -S "$root/bench" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target quellmark-cli >/dev/null
  cli=$build/quellmark/quellmark-cli
fi

work=$(mktemp -d "$base/quellmark-checksum.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/{q,g,n,out}
src=$work/rand.bin
head -c $((size_mib * 1048576)) /dev/urandom >"$src"
cat "$src" >/dev/null
five=5242880

# One set with checksums to join, checked once by hand first.
"$cli" split "$src" --size 5m --dest "$work/q/rand.qkd" >/dev/null
(cd "$work/q" && sha256sum --quiet -c rand.sha256)

median() { jq -r ".results[$1].median" "$work/h.json"; }
compare() {  # label, ours, peer, prepare
  hyperfine -N --style none --warmup 1 --runs "$runs" --prepare "$4" --export-json "$work/h.json" \
    "$2" "$3" >/dev/null 2>"$work/hyperfine.log" || { cat "$work/hyperfine.log" >&2; exit 1; }
  local a b
  a=$(median 0); b=$(median 1)
  printf '| %s | %.3f s | %.3f s | %.2f |\n' "$1" "$a" "$b" "$(echo "$a / $b" | bc -l)"
}

# hyperfine -N starts commands without a shell, so the clean-up brings its own for the globs.
clean="sh -c 'rm -rf $work/g/* $work/n/* $work/out/x.bin'"
echo "| $size_mib MiB, 5 MB parts, warm cache | quellmark-cli | peer | ratio |"
echo "|---|---:|---:|---:|"
compare "split with checksums vs \`split -b\`" \
  "$cli split $src --size 5m --dest $work/n/rand.qkd" \
  "split -b $five -d -a 3 $src $work/g/rand." "$clean"
compare "split without checksums vs \`split -b\`" \
  "$cli split $src --size 5m --no-checksum --dest $work/n/rand.qkd" \
  "split -b $five -d -a 3 $src $work/g/rand." "$clean"
compare "join with checking vs \`sha256sum -c\` + \`cat\`" \
  "$cli join $work/q/rand.qkd --dest $work/out/x.bin" \
  "sh -c 'cd $work/q && sha256sum --quiet -c rand.sha256 && cat rand.[0-9][0-9][0-9] >$work/out/x.bin'" \
  "$clean"
mv "$work/q/rand.sha256" "$work/q/rand.sha256.off"
compare "join without checksum file vs \`cat\`" \
  "$cli join $work/q/rand.qkd --dest $work/out/x.bin" \
  "sh -c 'cat $work/q/rand.[0-9][0-9][0-9] >$work/out/x.bin'" "$clean"
