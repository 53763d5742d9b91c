#!/usr/bin/env bash
# The desktop association and the command line against the desktop's own tools: a first start
# with a fresh HOME registers .qkd files, GLib then sees the type and the default application,
# the registered command and a typed command line both open a data file whose path has blanks
# without starting anything, and `cmake --install` puts every file under the prefix.
#   QM_BUILD_DIR=build-x scripts/test.d/association.sh   (default: build)
set -euo pipefail
# gio's messages and quotes follow the locale; the checks below read them in plain English.
export LC_ALL=C.UTF-8
cd "$(dirname "$0")/../.."
build=${QM_BUILD_DIR:-build}
program=$build/desktop/quellmark
[ -x "$program" ] || { echo "association.sh: $program is not built (Qt off?)" >&2 && exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "association.sh: FAILED: $*" >&2 && exit 1; }
unset XDG_DATA_HOME XDG_CONFIG_HOME
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
entry=$HOME/.local/share/applications/quellmark.desktop
# The program sits in a folder with a blank, so the registered command has to be quoted.
apps="$work/my apps"
data="$work/my files"
mkdir -p "$HOME" "$apps" "$data" && mkdir -m 700 "$XDG_RUNTIME_DIR"
cp "$program" "$apps/quellmark"
start() { QUELLMARK_EXIT_AFTER_START=1 "$apps/quellmark" "$@" 2>/dev/null; }

# a first start registers the type
start >/dev/null
desktop-file-validate "$entry" || fail "desktop entry is not valid"

printf 'the movie.avi\r\n3\r\n' >"$data/the movie.qkd"
for i in 1 2 3; do printf 'part %s\n' "$i" >"$data/the movie.00$i"; done
printf 'y.avi\r\n1\r\n' >"$work/Y.QKD"
type=$(gio info -a standard::content-type "$work/Y.QKD" | sed -n 's/^ *standard::content-type: //p')
[ "$type" = application/x-quellmark ] || fail "gio says Y.QKD is $type"
gio mime application/x-quellmark | grep '^Default application for .*: quellmark.desktop$' >/dev/null ||
  fail "gio mime: $(gio mime application/x-quellmark)"

# a typed and the registered command line open a data file with blanks in its path
expected=$(printf 'mode=Join\nsource=%s\ndestination=%s\nparts=3\nrunning=0' \
  "$data/the movie.qkd" "$data/the movie.avi")
# Unquoted on purpose: the path arrives as three arguments, as when a user types it. The
# launched program writes to gio's output; reading it to the end waits for the program.
# shellcheck disable=SC2086
for how in typed registered; do
  if [ $how = typed ]; then got=$(start $work/my files/the movie.qkd); else
    got=$(QUELLMARK_EXIT_AFTER_START=1 gio launch "$entry" "$data/the movie.qkd" 2>/dev/null)
  fi
  [ "$got" = "$expected" ] || fail "$how command line gave: $got"
  [ ! -e "$data/the movie.avi" ] || fail "the $how command line started a join"
done

# cmake --install puts every file under the prefix
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/quellmark bin/quellmark-cli share/applications/quellmark.desktop \
  share/mime/packages/quellmark.xml share/doc/quellmark/help.html share/doc/quellmark/window.png \
  share/icons/hicolor/{32x32,48x48,64x64,128x128,256x256}/apps/quellmark.png; do
  [ -s "$prefix/$f" ] || fail "$f not installed"
done
update-mime-database "$prefix/share/mime" >/dev/null 2>&1
grep -q '^50:application/x-quellmark:\*\.qkd$' "$prefix/share/mime/globs2" ||
  fail "installed MIME package gives no glob"

echo "association.sh: all checks passed"
