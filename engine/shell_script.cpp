#include "engine/shell_script.h"

#include "engine/batch_file.h"
#include "engine/checksum.h"
#include "engine/part_names.h"
#include "platform/text.h"

namespace qm {
namespace {

// A word the shell takes literally, whatever it holds: in single quotes, each quote of its own
// written as '\'' (close, an escaped quote, open again).
std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// Everything after the names. Names appear only in the assignments before it, never in a
// comment (a line break in a name would end the comment) and never where they could be read as
// code: every use below is a quoted expansion.
constexpr const char* kBody = R"SH(
LC_ALL=C
export LC_ALL

say() { printf '%s\n' "$*"; }
fail() {
  printf '%s\n' "$*" >&2
  exit 1
}
# A question answered only by a person at a terminal; anything but yes is no.
ask() {
  [ -t 0 ] || return 1
  printf '%s [y/N] ' "$1"
  read -r answer || return 1
  case $answer in
  [yY]*) return 0 ;;
  esac
  return 1
}
# The three digits of part $1.
digits() {
  n=$((1000 + $1))
  printf '%s' "${n#1}"
}

# The set is beside this script: work there, whatever folder it was started from.
case $0 in
*/*)
  dir=${0%/*}/
  case $dir in
  /*) ;;
  *) dir=./$dir ;;
  esac
  cd "$dir" || fail "Cannot change to the folder of this script."
  ;;
esac

case $target in
"$stem"[0-9][0-9][0-9] | "$data" | "$sums" | "$batch" | "$script")
  fail "'$target' is the name of a file of the set itself: nothing was joined."
  ;;
esac

i=1
while [ "$i" -le "$parts" ]; do
  part=$stem$(digits "$i")
  [ -f "./$part" ] || fail "The part '$part' does not exist: '$target' was NOT created."
  i=$((i + 1))
done

if [ -e "./$target" ] || [ -h "./$target" ]; then
  [ -d "./$target" ] && fail "'$target' is a folder: nothing was joined."
  [ -t 0 ] || fail "'$target' already exists, and without a terminal it is not replaced."
  ask "'$target' already exists. Replace it?" || fail "'$target' was left as it was."
fi

if [ -f "./$sums" ]; then
  tool=
  if command -v sha256sum >/dev/null 2>&1; then
    tool=sha256sum
  elif command -v shasum >/dev/null 2>&1; then
    tool=shasum
  fi
  if [ -z "$tool" ]; then
    say "Neither sha256sum nor shasum is here: the parts are joined unchecked."
  else
    # The tools check only the files the list names, so every part must be among them.
    seen=' '
    while IFS= read -r line || [ -n "$line" ]; do
      name=${line#"$mark"????????????????????????????????????????????????????????????????"  "}
      [ "$name" != "$line" ] || continue
      number=${name#"$listed"}
      case $number in
      [0-9][0-9][0-9]) [ "$listed$number" = "$name" ] && seen="$seen$number " ;;
      esac
    done <"./$sums"
    i=1
    while [ "$i" -le "$parts" ]; do
      case $seen in
      *" $(digits "$i") "*) ;;
      *) fail "'$sums' does not list the part '$stem$(digits "$i")': '$target' was NOT created." ;;
      esac
      i=$((i + 1))
    done
    say "Checking the parts against '$sums' ..."
    if [ "$tool" = sha256sum ]; then
      report=$(sha256sum -c "./$sums" 2>&1)
      status=$?
    else
      report=$(shasum -a 256 -c "./$sums" 2>&1)
      status=$?
    fi
    if [ "$status" -ne 0 ]; then
      printf '%s\n' "$report" | grep -v ': OK$' >&2
      fail "The set is damaged: '$target' was NOT created."
    fi
  fi
fi

say "Joining '$target' ..."
tmp=$(mktemp ./.quellmark-join.XXXXXX) || fail "Cannot create a temporary file here: '$target' was NOT created."
trap 'rm -f "$tmp"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
join_parts() {
  i=1
  while [ "$i" -le "$parts" ]; do
    cat "./$stem$(digits "$i")" || return 1
    i=$((i + 1))
  done
}
join_parts >"$tmp" || fail "Joining failed: '$target' was NOT created."
# As a file the user created here would be: read and write for whom the umask allows.
chmod '=rw' "$tmp" || fail "Cannot set the permissions of the joined file: '$target' was NOT created."
mv -f "$tmp" "./$target" || fail "Cannot name the joined file: '$target' was NOT created."
trap - EXIT
say "The file '$target' was joined successfully."

if ask "Delete the parts, '$data' and '$sums'?"; then
  i=1
  while [ "$i" -le "$parts" ]; do
    rm -f "./$stem$(digits "$i")"
    i=$((i + 1))
  done
  rm -f "./$data" "./$sums" "./$batch"
  say "The set was deleted; this script is kept."
fi
)SH";

}  // namespace

std::string ShellScriptText(const ShellScriptSet& set) {
  const std::string stem = dropRightChars(set.dataName, 3);
  bool escaped = false;
  const std::string listed = ChecksumNameField(stem, escaped);
  std::string text = "#!/bin/sh\n";
  text +=
      "# Quellmark self-joining script. Run it in the folder of the parts with \"sh\" and its\n";
  text += "# name. It checks the parts against the checksum file when sha256sum or shasum is\n";
  text += "# there, joins them with cat and asks before it replaces a file or deletes the set.\n";
  text += "# Quellmark: " + std::string(kHomePage) + "\n";
  // The names are meant literally: a "$", a backslash or a typographic quote is no mistake.
  text += "# shellcheck disable=SC1003,SC1004,SC1112,SC2016\n\n";
  text += "target=" + quoted(set.fileName) + "\n";
  text += "stem=" + quoted(stem) + "\n";
  text += "parts=" + std::to_string(set.parts) + "\n";
  text += "data=" + quoted(set.dataName) + "\n";
  text += "sums=" + quoted(nameOf(ChecksumFileName(set.dataName))) + "\n";
  text += "batch=" + quoted(nameOf(BatchFileName(set.dataName))) + "\n";
  text += "script=" + quoted(nameOf(ShellScriptName(set.dataName))) + "\n";
  text += "# How the part names appear in the checksum file (escaped as sha256sum does).\n";
  text += "mark=" + quoted(escaped ? "\\" : "") + "\n";
  text += "listed=" + quoted(listed) + "\n";
  text += kBody;
  return text;
}

void WriteShellScript(FileSystem& fs, const std::string& dataFile, const ShellScriptSet& set) {
  const std::string path = ShellScriptName(dataFile);
  if (fs.Stat(path).exists) fs.Remove(path);
  const std::string text = ShellScriptText(set);
  auto file = fs.CreateExecutable(path);
  file->Write(text.data(), text.size());
  file->Close();
}

}  // namespace qm
