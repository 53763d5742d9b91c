#!/usr/bin/env bash
# The Debian package as a user meets it: lintian finds no error in it, its metadata, desktop
# entry and manual pages pass their validators, everything carries the one version from
# CMakeLists.txt, and `apt-get install` then `apt-get remove` on this machine (as root) install
# it with the system's triggers and take every file of it away again.
set -euo pipefail
cd "$(dirname "$0")/../.."
fail() {
  echo "package.sh: FAILED: $*" >&2
  exit 1
}
[ "$(id -u)" = 0 ] || fail "installs the package, so it must run as root"
version=$(sed -n 's/^project(Quellmark VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$(./scripts/package.sh | tail -n 1)
[ "$deb" = "dist/quellmark_${version}_$(dpkg --print-architecture).deb" ] || fail "wrote $deb"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "-- lintian"
lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports an error"

echo "-- the package's own files"
dpkg-deb -x "$deb" "$work/root"
metainfo=$work/root/usr/share/metainfo/io.github.quellmark.Quellmark.metainfo.xml
appstreamcli validate --no-net "$metainfo" >/dev/null ||
  fail "$(appstreamcli validate --no-net "$metainfo")"
desktop-file-validate "$work/root/usr/share/applications/quellmark.desktop" || fail "desktop entry"
for page in quellmark quellmark-cli; do
  page=$work/root/usr/share/man/man1/$page.1.gz
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page warns: $warnings"
done
# Debian's triggers refresh the MIME and desktop databases; the package brings no scripts.
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -Evx '\./|\./(control|md5sums)' || true)
[ -z "$scripts" ] || fail "control files beyond control and md5sums: $scripts"
release=$(grep -o 'release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
for got in "$(dpkg-deb -f "$deb" Version)" "$release"; do
  [ "$got" = "$version" ] || fail "version $got where CMakeLists.txt has $version"
done

echo "-- install"
apt-get install -y -qq "./$deb" >/dev/null 2>&1 || fail "apt-get install $deb"
files=$(dpkg -L quellmark)
said=$(quellmark-cli --version)
[ "$said" = "quellmark-cli $version" ] || fail "--version: $said"
[ "$(man -w quellmark-cli)" = /usr/share/man/man1/quellmark-cli.1.gz ] || fail "man -w: no page"
grep -q '^application/x-quellmark=.*quellmark.desktop' /usr/share/applications/mimeinfo.cache ||
  fail "the desktop database does not name the entry"
# A user who has never started the program: only the system's folders speak.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_DATA_DIRS
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
printf 'x.avi\r\n1\r\n' >"$work/x.qkd"
type=$(gio info -a standard::content-type "$work/x.qkd" | sed -n 's/^ *standard::content-type: //p')
[ "$type" = application/x-quellmark ] || fail "gio says x.qkd is $type"
gio mime application/x-quellmark | grep -x $'\tquellmark.desktop' >/dev/null ||
  fail "gio mime: $(gio mime application/x-quellmark)"

echo "-- remove"
apt-get remove -y -qq quellmark >/dev/null 2>&1 || fail "apt-get remove quellmark"
left=$(while read -r f; do
  if [[ -e $f && ($f == *quellmark* || ! -d $f) ]]; then echo "$f"; fi
done <<<"$files")
[ -z "$left" ] || fail "left behind: $left"
! grep -qs quellmark /usr/share/applications/mimeinfo.cache /usr/share/mime/globs2 ||
  fail "the databases still name it"
echo "package.sh: all checks passed"
