#!/usr/bin/env bash
# End to end, under a virtual X display: starts the real quellmark, types a source path into the
# source field, presses Tab and Alt+B, checks the parts and the data file on disk, reads the
# window through AT-SPI as a screen reader would, and takes the screenshot in docs/; then leaves
# with Alt+X, and takes the screenshot at scale 2 from a second start with the file on its
# command line.
#
#   scripts/test.d/e2e.sh            # uses build/desktop/quellmark
#   QM_BUILD=build-qt scripts/test.d/e2e.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
program="$root/${QM_BUILD:-build}/desktop/quellmark"
[ -x "$program" ] || { echo "e2e: $program is missing; build first" >&2; exit 1; }

work=${QM_E2E_DIR:-/tmp/quellmark-e2e}
rm -rf "$work"
# Every start registers the file type for the user; keep that out of the real home folder.
mkdir -p "$work/videos" "$work/shots" "$work/home"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
unset XDG_DATA_HOME XDG_CONFIG_HOME
head -c 3500000 /dev/urandom >"$work/videos/holiday.avi"
# Qt offers its accessibility tree on the session bus only when asked to.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1

# The screenshots go into the README and the help, so they should show a user's folder, not
# this test's: in a mount namespace of its own, the work folder appears as /home/user/Videos.
shown="$work/videos"
neutral=()
if unshare --mount --propagation private mount -t tmpfs tmpfs /home 2>/dev/null; then
  shown=/home/user/Videos
  neutral=(unshare --mount --propagation private bash -c
    'mount -t tmpfs tmpfs /home && mkdir -p "$1" && mount --bind "$2" "$1" && shift 2 && exec "$@"'
    mounts "$shown" "$work/videos")
fi

inner=$(cat <<'INNER'
set -euo pipefail
program=$1 dir=$2 shots=$3 check=$4
waitwindow() {
  window=$(timeout 10 xdotool search --sync --name '^Quellmark v1\.0$' | head -n1) ||
    { echo "e2e: the window did not appear" >&2; exit 1; }
}
shoot() { import -window "$window" -strip -define png:exclude-chunks=date,time "$shots/$1"; }
"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
waitwindow
xdotool windowfocus --sync "$window"
sleep 0.5
# The source field has the focus at start; Tab leaves it, which analyses the path.
xdotool type --delay 10 "$dir/holiday.avi"
xdotool key Tab
sleep 0.3
xdotool key alt+b
timeout 20 bash -c 'until [ -s "$1" ]; do sleep 0.1; done' wait "$dir/holiday.qkd" || true
sleep 1  # the run's end step, and a repaint
/usr/bin/python3 "$check" Begin
shoot screenshot.png
xdotool key alt+x
timeout 10 tail --pid=$pid -f /dev/null || { echo "e2e: Exit did not end the program" >&2; exit 1; }
wait $pid
# Twice the size, for high-density screens: the same file, loaded from the command line.
QT_SCALE_FACTOR=2 "$program" "$dir/holiday.avi" &
pid=$!
waitwindow
sleep 1
shoot screenshot@2x.png
INNER
)
# -a looks for a free display from -n on; starting at a random number keeps two runs that start
# at the same moment (another test script, say) from racing for the same one. -noreset: the
# server would reset, refusing clients for a moment, when the first program leaves.
timeout 150 "${neutral[@]}" dbus-run-session -- \
  xvfb-run -a -n "$((100 + RANDOM % 800))" -s "-screen 0 1024x768x24 -dpi 96 -noreset" \
  bash -c "$inner" e2e "$program" "$shown" "$work/shots" "$root/scripts/test.d/atspi_check.py"

fail() { echo "e2e: $*" >&2; exit 1; }
v=$work/videos && [ -s "$v/holiday.qkd" ] || fail "no data file holiday.qkd"
[ "$(ls "$v"/holiday.[0-9][0-9][0-9] | wc -l)" = 5 ] || fail "not 5 parts"
cat "$v"/holiday.00[1-5] | cmp -s - "$v/holiday.avi" || fail "the parts do not add up to the source"
# Without a mount namespace the screenshots show this test's folder, and docs/ keeps its own.
((${#neutral[@]} == 0)) || cp "$work"/shots/screenshot{,@2x}.png "$root/docs/"
echo "e2e: split through the window into 5 parts and the data file"
