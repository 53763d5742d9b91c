#!/usr/bin/env bash
# End to end, under a virtual X display: starts the real quellmark, types a source path into the
# source field, presses Tab and Alt+B, checks the parts and the data file on disk, takes the
# screenshot in docs/; then joins the parts again from the keyboard, and leaves with Alt+X.
#
#   scripts/test.d/e2e.sh            # uses build/desktop/quellmark
#   QM_BUILD=build-qt scripts/test.d/e2e.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
program="$root/${QM_BUILD:-build}/desktop/quellmark"
[ -x "$program" ] || { echo "e2e: $program is missing; build first" >&2; exit 1; }

# A fixed folder, so that the path shown in the screenshot stays the same from run to run.
work=${QM_E2E_DIR:-/tmp/quellmark-e2e}
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
# Every start registers the file type for the user; keep that out of the real home folder.
mkdir -p "$work/home"
export HOME="$work/home"
unset XDG_DATA_HOME XDG_CONFIG_HOME
head -c 3500000 /dev/urandom >"$work/holiday.avi"

inner=$(cat <<'INNER'
set -euo pipefail
program=$1 work=$2 shot=$3
"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Quellmark v1\.0$' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "e2e: the window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$window"
sleep 0.5
# The source field has the focus at start; Tab leaves it, which analyses the path.
xdotool type --delay 10 "$work/holiday.avi"
xdotool key Tab
sleep 0.3
xdotool key alt+b
for _ in $(seq 200); do
  [ -s "$work/holiday.qkd" ] && break
  sleep 0.1
done
sleep 1  # the run's end step, and a repaint
import -window "$window" -strip -define png:exclude-chunks=date,time "$shot"
# Join: the source goes, the data file comes in its place (Alt+O reaches the source's button,
# Shift+Tab the field), and Begin rebuilds the source from its parts.
mv "$work/holiday.avi" "$work/holiday.orig"
xdotool key alt+o shift+Tab
xdotool type --delay 10 "$work/holiday.qkd"
xdotool key Tab
sleep 0.3
xdotool key alt+b
for _ in $(seq 200); do
  [ -s "$work/holiday.avi" ] && break
  sleep 0.1
done
sleep 1
xdotool key alt+x
for _ in $(seq 100); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if kill -0 $pid 2>/dev/null; then echo "e2e: Exit did not end the program" >&2; exit 1; fi
wait $pid
INNER
)
shot="$work/screenshot.png"
# -a looks for a free display from -n on; starting at a random number keeps two runs that start
# at the same moment (another test script, say) from racing for the same one.
timeout 120 xvfb-run -a -n "$((100 + RANDOM % 800))" -s "-screen 0 1024x768x24 -dpi 96" \
  bash -c "$inner" e2e "$program" "$work" "$shot"

fail() { echo "e2e: $*" >&2; exit 1; }
[ -s "$work/holiday.qkd" ] || fail "no data file holiday.qkd"
for n in 001 002 003 004 005; do
  [ -f "$work/holiday.$n" ] || fail "part holiday.$n is missing"
done
[ ! -e "$work/holiday.006" ] || fail "a sixth part appeared"
cat "$work"/holiday.00[1-5] | cmp -s - "$work/holiday.orig" || fail "the parts do not add up to the source"
cmp -s "$work/holiday.avi" "$work/holiday.orig" || fail "the join did not rebuild the source"
[ "$(stat -c %s "$work/holiday.001")" = 737280 ] || fail "part 1 is not 720 kb"
cp "$shot" "$root/docs/screenshot.png"
echo "e2e: split through the window into 5 parts and the data file, joined them again;" \
  "docs/screenshot.png taken"
