#!/usr/bin/env bash
# Times quellmark-cli against the tools a user would otherwise reach for: GNU split for cutting a
# file into parts, cat for putting them back. Builds its own release, works in a temporary
# folder that it removes again, and prints a table of medians and ratios on every file system it
# can reach (the folder's own, tmpfs, and as root XFS and btrfs on loop-mounted images of its
# own), the peak memory, the scaling with size and part count, and the cost of the desktop
# program's paced waiting.
#
#   bench/run.sh [--size MiB] [--dir FOLDER] [--rounds N] [--no-images]
#
#   --size MiB     size of the random file of the main comparison (default 1024); the scaling
#                  runs and the large memory case use up to 4 times it, at most 4 GiB. A set
#                  has at most 999 parts, so 1.4 MB parts cut at most the first 1386 MiB.
#   --dir FOLDER   where the temporary folder goes (default $TMPDIR or /tmp); the file system
#                  there is the one measured.
#   --rounds N     each pair is timed in N rounds of alternating runs (default 4).
#   --no-images    leave out XFS and btrfs.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
size_mib=1024
base=${TMPDIR:-/tmp}
rounds=4
images=1
while (($#)); do
  case "$1" in
    --size) size_mib=${2:?--size needs a number of MiB}; shift 2 ;;
    --dir) base=${2:?--dir needs a folder}; shift 2 ;;
    --rounds) rounds=${2:?--rounds needs a number}; shift 2 ;;
    --no-images) images=0; shift ;;
    -h | --help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench/run.sh: unknown argument $1" >&2; exit 64 ;;
  esac
done
[[ $size_mib =~ ^[0-9]+$ ]] && ((size_mib >= 16)) || { echo "--size: at least 16 MiB" >&2; exit 64; }

# ---- tools ----------------------------------------------------------------------------------
need=()
command -v hyperfine >/dev/null || need+=(hyperfine)
[[ -x /usr/bin/time ]] || need+=(time)
command -v jq >/dev/null || need+=(jq)
# The copy-on-write file systems are made on images, which takes root and their tools.
if ((images)) && ((EUID == 0)); then
  command -v mkfs.xfs >/dev/null || need+=(xfsprogs)
  command -v mkfs.btrfs >/dev/null || need+=(btrfs-progs)
fi
if ((${#need[@]})); then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
if ! command -v cmake >/dev/null || ! command -v ninja >/dev/null || ! command -v g++ >/dev/null ||
  [[ ! -e /usr/include/gtest/gtest.h ]]; then
  "$root/scripts/setup.sh"
fi

# ---- build ----------------------------------------------------------------------------------
# The project's release flavour (optimised, with symbols for a profiler), in a folder of its own.
build=$root/build-bench-release
echo "Building the release in $build ..."
cmake -S "$root/bench" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(quellmark-cli)
if grep -q '^QM_WITH_QT:BOOL=\(ON\|1\|TRUE\)' "$build/CMakeCache.txt"; then targets+=(window_wait); fi
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
cli=$build/quellmark/quellmark-cli
window_wait=$build/quellmark/desktop/window_wait
[[ -x $cli ]] || { echo "no quellmark-cli was built" >&2; exit 1; }

# ---- the temporary folder -------------------------------------------------------------------
work=$(mktemp -d "$base/quellmark-bench.XXXXXX")
# hyperfine's complaints (outliers on a busy machine) are kept aside and shown only on failure.
shm=""
mounts=()
cleanup() {
  local status=$? m
  if ((status != 0)) && [[ -s $work/hyperfine.log ]]; then cat "$work/hyperfine.log" >&2; fi
  # The images are unmounted first, so that removing the folder never reaches into them.
  for m in "${mounts[@]}"; do
    if [[ -n $m ]]; then umount "$m" 2>/dev/null || umount -l "$m"; fi
  done
  rm -rf "$work"
  if [[ -n $shm ]]; then rm -rf "$shm"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir -p "$work"/{json,scale,mem,win,home}

MiB=1048576
bytes=$((size_mib * MiB))
five=5242880
one4=1457664
src=$work/rand.bin
# A set has at most 999 parts: the 1.4 MB parts cut the first 1386 MiB at most (997 parts).
mib14=$((size_mib < 1386 ? size_mib : 1386))
# The same limit keeps the largest 5 MB case of the scaling and of the memory at 4 GiB.
scale_mib=$((size_mib < 1024 ? size_mib : 1024))

say() { printf '%s\n' "$*"; }
section_start=$SECONDS
took() { say "(${1:-this part} took $((SECONDS - section_start)) s)"; section_start=$SECONDS; }
# Median of every timing a command got across all rounds (the json files of one pair).
median_of() { # name json...
  local name=$1
  shift
  jq -s --arg n "$name" '[.[].results[] | select(.command == $n) | .times[]] | sort
      | if length % 2 == 1 then .[length / 2 | floor] else (.[length / 2 - 1] + .[length / 2]) / 2 end' "$@"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
secs() { awk -v a="$1" 'BEGIN { printf "%.3f", a }'; }

# Times two commands against each other in $rounds rounds (or as many as given); in each round both run, warm-up
# first, with the outputs removed before every run. Sets $med_a and $med_b (seconds).
pair() { # tag name_a cmd_a name_b cmd_b prepare runs_per_round [rounds]
  local tag=$1 name_a=$2 cmd_a=$3 name_b=$4 cmd_b=$5 prepare=$6 runs=$7 n=${8:-$rounds} r files=()
  for ((r = 1; r <= n; r++)); do
    local json=$work/json/$tag.$r.json warmup=0
    ((r == 1)) && warmup=1  # the first round warms both up; the cache stays warm after that
    # Alternate which command goes first, so neither always follows the other's writes.
    if ((r % 2)); then
      hyperfine --style none --warmup $warmup --runs "$runs" --prepare "$prepare" --export-json "$json" \
        -n "$name_a" "$cmd_a" -n "$name_b" "$cmd_b" >/dev/null 2>>"$work/hyperfine.log"
    else
      hyperfine --style none --warmup $warmup --runs "$runs" --prepare "$prepare" --export-json "$json" \
        -n "$name_b" "$cmd_b" -n "$name_a" "$cmd_a" >/dev/null 2>>"$work/hyperfine.log"
    fi
    files+=("$json")
  done
  med_a=$(median_of "$name_a" "${files[@]}")
  med_b=$(median_of "$name_b" "${files[@]}")
}

peak_kib() { # command... : the maximum resident set of one run, in KiB
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}

# ---- machine ----------------------------------------------------------------------------------
cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
fstype=$(findmnt -n -o FSTYPE -T "$work" 2>/dev/null | head -1)
[[ -n $fstype ]] || fstype=$(stat -f -c %T "$work")
say "Machine: $(nproc) processors, $cpu, kernel $(uname -r), $fstype in $base"
say "Load before: $(cut -d' ' -f1-3 /proc/loadavg)"
say ""

# ---- inputs -----------------------------------------------------------------------------------
say "Writing $size_mib MiB of random data ..."
head -c "$bytes" /dev/urandom >"$src"
cat "$src" >/dev/null  # into the page cache

# quellmark's parts must be GNU split's, byte for byte, before anything is timed.
mkdir "$work/check" "$work/gnu"
head -c $((mib14 * MiB)) "$src" >"$work/check/in.bin"
"$cli" split "$work/check/in.bin" --size 1.4m --dest "$work/check/rand.qkd"
split -b $one4 -d -a 3 "$work/check/in.bin" "$work/gnu/rand."
if ! cmp -s "$work/check/rand.001" "$work/gnu/rand.000" ||
  ! cmp -s <(cat "$work"/check/rand.[0-9][0-9][0-9]) <(cat "$work"/gnu/rand.*); then
  echo "quellmark-cli's parts differ from GNU split's" >&2
  exit 1
fi
rm -rf "$work/gnu" "$work/check"
say "Outputs checked: quellmark's parts equal GNU split's."
took "building and setting up"
say ""

# ---- split and join on each file system -------------------------------------------------------
# hyperfine starts every command through the shell (cat needs it for its redirection) and takes
# the shell's own start off each timing.
# Fewer runs for a quick look; the default size gets enough for steady medians.
runs=2 side_runs=1
((size_mib >= 512)) && runs=3 side_runs=2

# XFS and btrfs live on images of their own, mounted through a loop device. There a copy within
# the file system can share the blocks instead of writing them, so every timed command ends with
# a sync of that file system: a copy that only filled the page cache would look as fast as one
# that shares blocks. The images sit in the temporary folder and go with it.
image_mount() { # kind: makes, formats and mounts an image on $work/mnt/KIND; else sets $why
  local kind=$1 img=$work/img/$1.img out
  why=""
  if ((EUID != 0)); then why="they need root"; return 1; fi
  if ! command -v "mkfs.$kind" >/dev/null; then why="mkfs.$kind is missing"; return 1; fi
  mkdir -p "$work/img" "$work/mnt/$kind"
  # Room for the sources, a set of parts that cannot share blocks, and two outputs at once.
  truncate -s $(((6 * size_mib + 1024) * MiB)) "$img"
  case $kind in
    xfs) out=$(mkfs.xfs -q -m reflink=1 "$img" 2>&1) || { why=$out; return 1; } ;;
    btrfs) out=$(mkfs.btrfs -q "$img" 2>&1) || { why=$out; return 1; } ;;
  esac
  if ! out=$(mount -o loop "$img" "$work/mnt/$kind" 2>&1); then
    why="the machine refuses loop mounts: $out"
    rm -f "$img"
    return 1
  fi
  mounts+=("$work/mnt/$kind")
}
image_unmount() { # kind
  umount "$work/mnt/$1"
  mounts=("${mounts[@]/$work\/mnt\/$1/}")
  rm -f "$work/img/$1.img"
}

# One hyperfine command timed alone in $rounds rounds; sets $med_a.
solo() { # tag command prepare runs_per_round [rounds]
  local tag=$1 cmd=$2 prepare=$3 runs=$4 n=${5:-$rounds} r files=()
  for ((r = 1; r <= n; r++)); do
    local json=$work/json/$tag.$r.json warmup=0
    ((r == 1)) && warmup=1
    hyperfine --style none --warmup $warmup --runs "$runs" --prepare "$prepare" --export-json "$json" \
      -n solo "$cmd" >/dev/null 2>>"$work/hyperfine.log"
    files+=("$json")
  done
  med_a=$(median_of solo "${files[@]}")
}

# The four comparisons and the physical limit in FOLDER, with the results in med[LABEL.*]. On a
# mount point (the images) every timed command and every clean-up before one ends with a sync.
declare -A med parts
labels=()
fs_table() { # folder label mount_point_or_empty reflinks(0/1) rounds
  local dir=$1 label=$2 mnt=$3 cow=$4 n_rounds=$5 s size sync_tail="" prep_tail=""
  if [[ -n $mnt ]]; then sync_tail=" && sync -f $mnt" prep_tail="; sync -f $mnt"; fi
  local q=$dir/out/q g=$dir/out/g
  local -A in=([5]=$dir/rand.bin [1.4]=$dir/rand14.bin)
  mkdir -p "$dir/sets/5" "$dir/sets/1.4" "$dir/out"
  cat "$src" >"${in[5]}"
  head -c $((mib14 * MiB)) "$src" >"${in[1.4]}"
  # The sets the joins read, made by quellmark itself, so that on a copy-on-write file system
  # they share blocks with the source as a user's would; each is checked against the source.
  # The peers neither write nor check checksums, so the main rows leave them out (the 5 MB set's
  # checksum file is put aside); the checksum rows after them show what the default costs.
  for s in 5 1.4; do
    "$cli" split "${in[$s]}" --size ${s}m --dest "$dir/sets/$s/rand.qkd"
    mv "$dir/sets/$s/rand.sha256" "$dir/sets/$s/rand.sha256.off"
    cmp -s "${in[$s]}" <(cat "$dir"/sets/$s/rand.[0-9][0-9][0-9]) ||
      { echo "on $label, quellmark-cli's $s MB parts differ from the source" >&2; exit 1; }
    "$cli" join "$dir/sets/$s/rand.qkd" --dest "$dir/out/check.bin" --overwrite
    cmp -s "${in[$s]}" "$dir/out/check.bin" ||
      { echo "on $label, quellmark-cli's join of $s MB parts differs from the source" >&2; exit 1; }
    rm -f "$dir/out/check.bin"
    parts[$s]=$(ls "$dir"/sets/$s/rand.[0-9][0-9][0-9] | wc -l)
  done
  if [[ -n $mnt ]]; then sync -f "$mnt"; fi
  cat "${in[@]}" "$dir"/sets/*/rand.[0-9][0-9][0-9] >/dev/null
  say "Timing split and join of $size_mib MiB on $label ($n_rounds rounds x $runs runs each, alternating) ..."
  for s in 5 1.4; do
    size=$five
    [[ $s == 1.4 ]] && size=$one4
    pair "$label-split$s" quellmark "$cli split ${in[$s]} --size ${s}m --no-checksum --dest $q/rand.qkd$sync_tail" \
      split "split -b $size -d -a 3 ${in[$s]} $g/rand.$sync_tail" \
      "rm -rf $q $g; mkdir $q $g$prep_tail" $runs "$n_rounds"
    med[$label.split$s.q]=$med_a med[$label.split$s.p]=$med_b
    pair "$label-join$s" quellmark "$cli join $dir/sets/$s/rand.qkd --dest $q.bin --overwrite$sync_tail" \
      cat "cat $dir/sets/$s/rand.[0-9][0-9][0-9] > $g.bin$sync_tail" \
      "rm -rf $q.bin $g.bin $q $g$prep_tail" $runs "$n_rounds"
    med[$label.join$s.q]=$med_a med[$label.join$s.p]=$med_b
  done
  # The default: a split that writes NAME.sha256, and a join that checks every part against it.
  pair "$label-splitc" quellmark "$cli split ${in[5]} --size 5m --dest $q/rand.qkd$sync_tail" \
    split "split -b $five -d -a 3 ${in[5]} $g/rand.$sync_tail" \
    "rm -rf $q $g; mkdir $q $g$prep_tail" $runs "$n_rounds"
  med[$label.splitc.q]=$med_a med[$label.splitc.p]=$med_b
  mv "$dir/sets/5/rand.sha256.off" "$dir/sets/5/rand.sha256"
  pair "$label-joinc" quellmark "$cli join $dir/sets/5/rand.qkd --dest $q.bin --overwrite$sync_tail" \
    cat "cat $dir/sets/5/rand.[0-9][0-9][0-9] > $g.bin$sync_tail" \
    "rm -rf $q.bin $g.bin $q $g$prep_tail" $runs "$n_rounds"
  med[$label.joinc.q]=$med_a med[$label.joinc.p]=$med_b
  # What the file system itself needs to copy the whole source once.
  if ((cow)); then
    solo "$label-limit" "cp --reflink=always ${in[5]} $g.bin$sync_tail" "rm -f $g.bin$prep_tail" $runs "$n_rounds"
  else
    solo "$label-limit" "cat ${in[5]} > $g.bin$sync_tail" "rm -f $g.bin$prep_tail" $runs "$n_rounds"
  fi
  med[$label.limit]=$med_a med[$label.cow]=$cow med[$label.parts5]=${parts[5]} med[$label.parts14]=${parts[1.4]}
  labels+=("$label")
  rm -rf "${dir:?}"/*
  took "$label"
}

fs_table "$work/fs" "$fstype" "" 0 "$rounds"
if [[ $(stat -f -c %T /dev/shm 2>/dev/null) == tmpfs ]] &&
  (($(df -k --output=avail /dev/shm | tail -1) > 7 * bytes / 1024)); then
  shm=$(mktemp -d /dev/shm/quellmark-bench.XXXXXX)
  fs_table "$shm/fs" tmpfs "" 0 "$rounds"
else
  say "tmpfs: not measured, /dev/shm is missing or has less than $((7 * size_mib)) MiB free."
fi
for kind in xfs btrfs; do
  if ((!images)); then
    say "$kind: not measured (--no-images)."
  elif image_mount $kind; then
    # Two rounds: a copy that the disk must take lasts seconds, and a shared one is a thousand
    # times shorter, so the spread between rounds hardly moves the ratios.
    fs_table "$work/mnt/$kind/fs" "$kind" "$work/mnt/$kind" 1 2
    image_unmount $kind
  else
    say "$kind: not measured, $why."
  fi
done

# The goals, from the file system's own means: where it can share blocks a part costs only
# bookkeeping; elsewhere the program must keep up with the tools that copy.
say ""
say "| $size_mib MiB, warm cache | quellmark-cli | peer | ratio | goal |"
say "|---|---:|---:|---:|---|"
base_label=${labels[0]}
row() { # text key goal: one row, from quellmark's and the peer's medians under KEY
  say "| $1 | $(secs "${med[$2.q]}") s | $(secs "${med[$2.p]}") s | $(ratio "${med[$2.q]}" "${med[$2.p]}") | $3 |"
}
for label in "${labels[@]}"; do
  cow=${med[$label.cow]}
  for kind in split join; do
    for s in 5 1.4; do
      n=${med[$label.parts5]}
      [[ $s == 1.4 ]] && n=${med[$label.parts14]}
      if [[ $kind == split ]]; then
        what="split into $s MB parts ($n) vs \`split -b\`" goal="<= 0.8" shared="<= 0.02"
      else
        what="join of $n parts of $s MB vs \`cat\`" goal="<= 1.0" shared="<= 1.5"
      fi
      if ((cow)); then
        goal=$shared
        [[ $s == 1.4 ]] && goal="not shareable; $base_label: $(ratio "${med[$base_label.${kind}1.4.q]}" "${med[$base_label.${kind}1.4.p]}")"
      fi
      row "$label: $what" "$label.$kind$s" "$goal"
    done
  done
  row "$label: split into 5 MB parts with checksums (the default) vs \`split -b\`" "$label.splitc" ""
  row "$label: join of 5 MB parts checking them vs \`cat\`" "$label.joinc" ""
  if ((cow)); then
    say "| $label: physical limit, \`cp --reflink=always\` of the source | | $(secs "${med[$label.limit]}") s | | |"
  else
    say "| $label: physical limit, one \`cat\` of the source | | $(secs "${med[$label.limit]}") s | | |"
  fi
done
((mib14 < size_mib)) && say "The 1.4 MB parts cut the first $mib14 MiB of the source: a set has at most 999 parts."
say "On xfs and btrfs every command is timed until its data is on the disk (sync -f of the image)."
took
say ""

# ---- peak memory ------------------------------------------------------------------------------
say "Peak memory (maximum resident set, /usr/bin/time -v) ..."
mem=$work/mem
head -c $((100 * MiB)) "$src" >"$mem/m100.bin" 2>/dev/null || true
if (($(stat -c %s "$mem/m100.bin") < 100 * MiB)); then head -c $((100 * MiB)) /dev/urandom >"$mem/m100.bin"; fi
# The large case is four times the main size, at most 4 GiB (999 parts of 5 MB).
big_mib=$((4 * scale_mib))
big_label="$big_mib MiB"
((big_mib % 1024 == 0)) && big_label="$((big_mib / 1024)) GiB"
truncate -s $((big_mib * MiB)) "$mem/g4.bin"
mkdir "$mem/p100" "$mem/p4"
say ""
say "| input | quellmark split | quellmark join | GNU split | cat |"
say "|---|---:|---:|---:|---:|"
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
for m in 100 4; do
  if [[ $m == 100 ]]; then in=$mem/m100.bin label="100 MiB (1.4 MB parts)" sz=1.4m gsz=$one4 d=$mem/p100
  else in=$mem/g4.bin label="$big_label sparse (5 MB parts)" sz=5m d=$mem/p4; fi
  cat "$in" >/dev/null
  qs=$(peak_kib "$cli" split "$in" --size $sz --dest "$d/m.qkd")
  qj=$(peak_kib "$cli" join "$d/m.qkd" --dest "$mem/joined.bin" --overwrite)
  rm -f "$mem/joined.bin"
  gs="" cj=""
  if [[ $m == 100 ]]; then  # the peers' memory does not depend on the size either
    mkdir "$d/g"
    gs=$(mib "$(peak_kib split -b "$gsz" -d -a 3 "$in" "$d/g/m.")")
    rm -rf "$d/g"
    cj=$(mib "$(peak_kib sh -c "exec cat $d/m.[0-9][0-9][0-9] > $mem/joined.bin")")
  fi
  rm -rf "$mem/joined.bin" "${d:?}"/*
  say "| $label | $(mib "$qs") | $(mib "$qj") | ${gs:--} | ${cj:--} |"
done
rm -rf "$mem"
say "Goal: at most 16 MiB for quellmark-cli, the same at both sizes."
took
say ""

# ---- scaling ----------------------------------------------------------------------------------
# Each size against its peer: past a few GiB of written data the kernel starts writing back to
# the disk, and then the disk sets the pace for any program.
say "Scaling (sparse sources, warm cache, 5 MB parts; medians of $((2 * side_runs)) runs, alternating) ..."
say ""
say "| source | quellmark split | per GiB | GNU split | per GiB | quellmark join | per GiB | cat | per GiB |"
say "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
scale=$work/scale
pergib() { awk -v t="$1" -v m="$2" 'BEGIN { printf "%.3f s", t * 1024 / m }'; }
for k in 1 2 4; do
  mib=$((scale_mib * k))
  in=$scale/s$k.bin
  truncate -s $((mib * MiB)) "$in"
  cat "$in" >/dev/null
  mkdir -p "$scale/set"
  "$cli" split "$in" --size 5m --no-checksum --dest "$scale/set/s.qkd"
  # The set goes to the disk now, so the timed runs do not inherit its writing back.
  sync -f "$scale"
  pair "scale-split$k" q "$cli split $in --size 5m --no-checksum --dest $scale/q/s.qkd" \
    p "split -b $five -d -a 3 $in $scale/q/g." "rm -rf $scale/q; mkdir $scale/q" $side_runs 2
  qs=$med_a gs=$med_b
  pair "scale-join$k" q "$cli join $scale/set/s.qkd --dest $scale/j.bin --overwrite" \
    p "cat $scale/set/s.[0-9][0-9][0-9] > $scale/c.bin" "rm -f $scale/j.bin $scale/c.bin" $side_runs 2
  qj=$med_a cj=$med_b
  label="$mib MiB"
  ((mib % 1024 == 0)) && label="$((mib / 1024)) GiB"
  say "| $label | $(secs "$qs") s | $(pergib "$qs" $mib) | $(secs "$gs") s | $(pergib "$gs" $mib) | $(secs "$qj") s | $(pergib "$qj" $mib) | $(secs "$cj") s | $(pergib "$cj" $mib) |"
  rm -rf "${scale:?}"/*
done
say ""

# 999 parts against 3 of the same source: the per-part work must not show. GNU split beside it
# shows what creating that many files costs on the file system itself; on tmpfs, where that is
# cheap, the program's own per-part work stands alone.
parts_compare() { # folder label
  local dir=$1 where=$2 in=$1/parts.bin
  mkdir -p "$dir"
  truncate -s "$bytes" "$in"
  cat "$in" >/dev/null
  local many=$(((bytes + 998) / 999)) few=$(((bytes + 2) / 3))
  local n_many n_few q_many q_few
  n_many=$("$cli" count "$in" --size "${many}b")
  n_few=$("$cli" count "$in" --size "${few}b")
  pair "parts-$where" many "$cli split $in --size ${many}b --no-checksum --dest $dir/q/p.qkd" \
    few "$cli split $in --size ${few}b --no-checksum --dest $dir/q/p.qkd" "rm -rf $dir/q; mkdir $dir/q" $side_runs 3
  q_many=$med_a q_few=$med_b
  pair "gparts-$where" many "split -b $many -d -a 3 $in $dir/q/p." \
    few "split -b $few -d -a 3 $in $dir/q/p." "rm -rf $dir/q; mkdir $dir/q" $side_runs 3
  say "| split of $size_mib MiB on $where into | quellmark-cli | GNU split |"
  say "|---|---:|---:|"
  say "| $n_few parts | $(secs "$q_few") s | $(secs "$med_b") s |"
  say "| $n_many parts | $(secs "$q_many") s | $(secs "$med_a") s |"
  say "| $n_many parts / $n_few parts | $(ratio "$q_many" "$q_few") | $(ratio "$med_a" "$med_b") |"
  say ""
  rm -rf "$dir"
}
took
say ""
parts_compare "$scale/parts" "$fstype"
if [[ $(stat -f -c %T /dev/shm 2>/dev/null) == tmpfs ]] &&
  (($(df -k --output=avail /dev/shm | tail -1) > 3 * bytes / 1024)); then
  [[ -n $shm ]] || shm=$(mktemp -d /dev/shm/quellmark-bench.XXXXXX)
  parts_compare "$shm/parts" tmpfs
fi

# ---- the window's waiting ---------------------------------------------------------------------
took
say ""
paced_mib=$((size_mib < 64 ? size_mib : 64))
say "The desktop program's paced split (offscreen, $paced_mib MiB into 1.4 MB parts) ..."
if [[ -x $window_wait ]]; then
  head -c $((paced_mib * MiB)) "$src" >"$work/win/paced.bin"
  mkdir -m 700 "$work/runtime"
  out=$(HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen timeout 600 \
    "$window_wait" "$work/win/paced.bin")
  get() { awk -F= -v k="$1" '$1 == k { print $2 }' <<<"$out"; }
  waits=$(get waits) wall=$(get wall) copy=$(get copy_wall) cpu=$(get cpu) copy_cpu=$(get copy_cpu)
  main_cpu=$(get main_cpu)
  say ""
  say "| parts | blocks | specified waits W | engine copy C | wall | wall / (1.1 W + C) | window's thread outside the copy | share of W | checksums' thread |"
  say "|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  say "| $(get parts) | $(get blocks) | $(secs "$waits") s | $(secs "$copy") s | $(secs "$wall") s | $(awk -v w="$wall" -v a="$waits" -v c="$copy" 'BEGIN { printf "%.3f", w / (1.1 * a + c) }') | $(awk -v p="$main_cpu" -v c="$copy_cpu" 'BEGIN { printf "%.3f", p - c }') s | $(awk -v p="$main_cpu" -v c="$copy_cpu" -v a="$waits" 'BEGIN { printf "%.1f%%", (p - c) * 100 / a }') | $(awk -v p="$cpu" -v m="$main_cpu" 'BEGIN { printf "%.3f", p - m }') s |"
  say "Goals: wall / (1.1 W + C) at most 1; the window's processor time outside the copy at most 8% of W."
else
  say "Not measured: the desktop program was not built (Qt 6 Widgets missing)."
fi
took
say ""
# ---- checksums (bench/checksum.sh: its own table, on the same file system) --------------------
say "What checksums cost ..."
"$root/bench/checksum.sh" --size "$scale_mib" --dir "$base" --cli "$cli"
say ""
say "Load after: $(cut -d' ' -f1-3 /proc/loadavg); $SECONDS s in all"
