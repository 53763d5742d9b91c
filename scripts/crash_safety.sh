#!/usr/bin/env bash
# Kills quellmark-cli with SIGKILL at random moments of many splits and joins, and checks after
# every run that no data was lost and that nothing is left that could pass for a finished result:
#   - the source, or the part set, is still complete (or the finished result is in its place);
#   - an existing destination is still whole, never a truncated file under its name;
#   - a join leaves no leftover at all where the system has unnamed temporary files, otherwise
#     only a file named .quellmark-*.qkt (half the joins run with unnamed files switched off);
#   - a data file that reads back names parts that join to the source, so a killed split never
#     leaves an older data file beside new parts; a split killed before its set was in place
#     leaves the older set whole, and at most its finished files under .quellmark-*.qkt names.
#
# usage: scripts/crash_safety.sh [--runs N] [--seconds S] [--mb M] [--dir FOLDER]
#   N runs at most (default 200), for at most S seconds (default 120), on a source of M MiB
#   (default 64), in a fresh folder below FOLDER (default /dev/shm, else $TMPDIR or /tmp).
# The program is taken from $QM_BUILD_DIR (default build/, built first when missing).
# Prints the figures; exits 1 when an invariant was broken.
set -uo pipefail
cd "$(dirname "$0")/.."

runs=200
seconds=120
mb=64
base=""
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --mb) mb=$2; shift 2 ;;
    --dir) base=$2; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--seconds S] [--mb M] [--dir FOLDER]" >&2; exit 64 ;;
  esac
done

build=${QM_BUILD_DIR:-build}
cli=$PWD/$build/quellmark-cli
if [ ! -x "$cli" ]; then
  if [ -n "${QM_BUILD_DIR:-}" ]; then echo "no $cli" >&2; exit 1; fi
  ./scripts/build.sh release
fi

if [ -z "$base" ]; then
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; else base=${TMPDIR:-/tmp}; fi
fi
work=$(mktemp -d "$base/quellmark-crash-XXXXXX")
trap 'rm -rf "$work"' EXIT

# A file system without unnamed temporary files, as far as the program can tell: open with
# O_TMPFILE fails as it does there, and the program falls back to a named temporary file.
cat >"$work/no_tmpfile.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
static int refuse(int flags) { return (flags & O_TMPFILE) == O_TMPFILE; }
#define SHIM(name)                                                        \
  int name(const char* path, int flags, ...) {                            \
    static int (*real)(const char*, int, ...);                            \
    va_list ap; va_start(ap, flags); int mode = va_arg(ap, int); va_end(ap); \
    if (refuse(flags)) { errno = EOPNOTSUPP; return -1; }                 \
    if (!real) real = dlsym(RTLD_NEXT, #name);                            \
    return real(path, flags, mode);                                       \
  }
SHIM(open)
SHIM(open64)
/* The program makes its temporary files relative to a folder it holds open. */
#define SHIMAT(name)                                                      \
  int name(int dir, const char* path, int flags, ...) {                   \
    static int (*real)(int, const char*, int, ...);                       \
    va_list ap; va_start(ap, flags); int mode = va_arg(ap, int); va_end(ap); \
    if (refuse(flags)) { errno = EOPNOTSUPP; return -1; }                 \
    if (!real) real = dlsym(RTLD_NEXT, #name);                            \
    return real(dir, path, flags, mode);                                  \
  }
SHIMAT(openat)
SHIMAT(openat64)
EOF
cc -shared -fPIC -O2 -o "$work/no_tmpfile.so" "$work/no_tmpfile.c" -ldl || exit 1

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# The source, an older file for the destination, and a reference set with its batch file.
head -c $((mb * 1024 * 1024)) /dev/urandom >"$work/master.bin"
head -c $((1024 * 1024)) /dev/urandom >"$work/older.bin"
mkdir "$work/ref"
cp "$work/master.bin" "$work/ref/movie.bin"
(cd "$work/ref" && "$cli" split movie.bin --size 1m --batch) || { echo "reference split failed" >&2; exit 1; }
rm "$work/ref/movie.bin"
parts=$(ls "$work/ref" | grep -c '^movie\.[0-9][0-9][0-9]$')
old_data=$'movie.bin\r\n2\r\n'

# How long an undisturbed run takes, so the kills can fall anywhere inside one.
run_dir=$work/run
setup_split() {
  rm -rf "$run_dir" && mkdir "$run_dir"
  cp "$work/master.bin" "$run_dir/movie.bin"
  if [ "$old" = 1 ]; then
    # An earlier set of that name, to be replaced: its data file must never outlive it.
    printf '%s' "$old_data" >"$run_dir/movie.qkd"
    printf 'older one' >"$run_dir/movie.001"
    printf 'older two' >"$run_dir/movie.002"
  fi
}
setup_join() {
  rm -rf "$run_dir" && mkdir "$run_dir"
  # The set as a split leaves it, checksum file included: the join checks every part.
  cp "$work/ref/"movie.[0-9][0-9][0-9] "$work/ref/movie.qkd" "$work/ref/movie.sha256" "$run_dir/"
  [ "$batch" = 1 ] && cp "$work/ref/movie.bat" "$run_dir/"
  [ "$old" = 1 ] && cp "$work/older.bin" "$run_dir/movie.bin"
  return 0
}
split_args() {
  args=(split movie.bin --size 1m)
  [ "$batch" = 1 ] && args+=(--batch)
  [ "$del" = 1 ] && args+=(--delete-source)
  [ "$old" = 1 ] && args+=(--overwrite)
  return 0
}
join_args() {
  args=(join movie.qkd)
  [ "$del" = 1 ] && args+=(--delete-parts)
  [ "$old" = 1 ] && args+=(--overwrite)
  return 0
}

measure() {
  local kind=$1 start
  del=0 batch=1 old=1 shim=0
  "setup_$kind"
  "${kind}_args"
  start=$(now_ms)
  (cd "$run_dir" && "$cli" "${args[@]}" >/dev/null 2>&1)
  echo $(( $(now_ms) - start ))
}
split_ms=$(measure split)
join_ms=$(measure join)

violations=0
kills=0
finished=0
marked=0
splits=0
joins=0
fallback_joins=0
note() {
  violations=$((violations + 1))
  echo "run $run ($desc, status $status): $*" >&2
}

same() { cmp -s "$1" "$2"; }
# Compared as bytes: $(cat) would drop the data file's last line feed.
is_old_data() { printf '%s' "$old_data" | cmp -s - "$run_dir/movie.qkd"; }

# The parts a readable data file names, joined, against the source.
data_file_ok() {
  local info n i
  info=$("$cli" info "$run_dir/movie.qkd" 2>/dev/null) || return 0  # unreadable: no result
  grep -q missing <<<"$info" && return 0                            # incomplete: no result
  n=$(sed -n 's/^Parts: //p' <<<"$info")
  if is_old_data; then
    # The older set, still whole: the split was killed before it began to replace it.
    [ "$(cat "$run_dir/movie.001")" = "older one" ] && [ "$(cat "$run_dir/movie.002")" = "older two" ]
    return
  fi
  for ((i = 1; i <= n; i++)); do printf '%s/movie.%03d\n' "$run_dir" "$i"; done |
    xargs cat | cmp -s - "$work/master.bin"
}

check_split() {
  local name
  for name in $(ls -A "$run_dir"); do
    if [[ "$name" =~ ^\.quellmark-.*\.qkt$ ]]; then
      marked=$((marked + 1))  # a finished file of a set killed before it was put in place
    elif ! [[ "$name" =~ ^movie\.(bin|qkd|bat|sha256|[0-9][0-9][0-9])$ ]]; then
      note "left behind $name"
    fi
  done
  if [ -e "$run_dir/movie.qkd" ] && ! data_file_ok; then
    note "a readable data file names parts that do not join to the source"
  fi
  if [ -e "$run_dir/movie.bin" ]; then
    same "$run_dir/movie.bin" "$work/master.bin" || note "the source changed"
  elif [ "$del" = 1 ] && [ -s "$run_dir/movie.qkd" ] && data_file_ok &&
       ! is_old_data; then
    :  # deleted after its set was complete
  else
    note "the source is gone without a complete set"
  fi
  if [ -s "$run_dir/movie.bat" ] && ! same "$run_dir/movie.bat" "$work/ref/movie.bat"; then
    note "a partial batch file"
  fi
  if [ "$status" = 0 ]; then
    same <(cat "$run_dir"/movie.[0-9][0-9][0-9]) "$work/master.bin" || note "finished, but the parts are wrong"
    [ "$del" = 1 ] && [ -e "$run_dir/movie.bin" ] && note "finished, but the source is still there"
    [ "$batch" = 1 ] && ! [ -e "$run_dir/movie.bat" ] && note "finished without the batch file"
  fi
}

check_join() {
  local name set_missing=0
  for name in $(ls -A "$run_dir"); do
    if [[ "$name" =~ ^\.quellmark-.*\.qkt$ ]]; then
      marked=$((marked + 1))
      # Only where unnamed files are missing may a marked one be left.
      [ "$shim" = 1 ] || note "left a temporary file $name though unnamed ones were available"
    elif ! [[ "$name" =~ ^movie\.(bin|qkd|bat|sha256|[0-9][0-9][0-9])$ ]]; then
      note "left behind $name"
    fi
  done
  for name in $(ls "$work/ref"); do
    [ "$name" = movie.bat ] && [ "$batch" = 0 ] && continue
    if [ -e "$run_dir/$name" ]; then
      same "$run_dir/$name" "$work/ref/$name" || note "$name changed"
    else
      set_missing=1
    fi
  done
  if [ -e "$run_dir/movie.bin" ]; then
    if ! same "$run_dir/movie.bin" "$work/master.bin"; then
      [ "$old" = 1 ] && same "$run_dir/movie.bin" "$work/older.bin" ||
        note "the destination is neither the older file nor the joined one"
    fi
  elif [ "$old" = 1 ]; then
    note "the existing destination is gone"
  fi
  if [ "$set_missing" = 1 ]; then
    [ "$del" = 1 ] && same "$run_dir/movie.bin" "$work/master.bin" ||
      note "part of the set is gone before the joined file was in place"
  fi
  if [ "$status" = 0 ]; then
    same "$run_dir/movie.bin" "$work/master.bin" || note "finished without the joined file"
  fi
}

start=$(date +%s)
run=0
while [ "$run" -lt "$runs" ] && [ $(( $(date +%s) - start )) -lt "$seconds" ]; do
  run=$((run + 1))
  kind=split
  [ $((run % 2)) = 0 ] && kind=join
  del=$((RANDOM % 2)) batch=$((RANDOM % 2)) old=$((RANDOM % 2)) shim=0
  [ "$kind" = join ] && shim=$((RANDOM % 2))
  desc="$kind del=$del batch=$batch old=$old no-tmpfile=$shim"
  "setup_$kind"
  "${kind}_args"
  length=$split_ms
  [ "$kind" = join ] && length=$join_ms
  # Most kills fall anywhere in the run; some near its end, where the data file, the deletion
  # and the renaming happen.
  if [ $((RANDOM % 10)) -lt 7 ]; then
    delay_us=$(( RANDOM * 32768 + RANDOM ))
    delay_us=$(( delay_us % ((length + 1) * 1000) ))
  else
    delay_us=$(( length * 800 + (RANDOM * 32768 + RANDOM) % (length * 400 + 1000) ))
  fi
  (
    cd "$run_dir" || exit 99
    if [ "$shim" = 1 ]; then export LD_PRELOAD=$work/no_tmpfile.so; fi
    exec "$cli" "${args[@]}" >/dev/null 2>&1 </dev/null
  ) &
  pid=$!
  sleep "$(printf '%d.%06d' $((delay_us / 1000000)) $((delay_us % 1000000)))"
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  status=$?
  if [ "$status" = 137 ]; then kills=$((kills + 1)); elif [ "$status" = 0 ]; then finished=$((finished + 1)); else
    note "ended with status $status"
  fi
  [ "$kind" = split ] && splits=$((splits + 1))
  if [ "$kind" = join ]; then
    joins=$((joins + 1))
    [ "$shim" = 1 ] && fallback_joins=$((fallback_joins + 1))
  fi
  "check_$kind"
done

echo "crash safety: $run runs ($splits splits, $joins joins of which $fallback_joins without unnamed" \
  "temporary files; ${mb} MiB source, $parts parts; undisturbed split ${split_ms} ms, join ${join_ms} ms)," \
  "$kills killed mid-run, $finished finished first, $marked marked temporary files left," \
  "$violations invariant violations"
[ "$violations" = 0 ]
