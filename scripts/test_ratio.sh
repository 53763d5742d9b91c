#!/usr/bin/env bash
# Prints the lines of tests against the lines of code, and fails when the tests pass 35%.
# Lines count when they are not blank and not only a comment. Code is what is compiled into the
# two programs; tests are tests/ and the scripts the test command runs (scripts/test.d/).
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  # C++ comments start with //, shell and CMake comments with #; a #include is code.
  awk '
    /^[[:space:]]*$/ { next }
    /^[[:space:]]*\/\// { next }
    FILENAME ~ /\.(sh|py|txt|cmake)$/ && /^[[:space:]]*#/ { next }
    { n++ }
    END { print n + 0 }' "$@" /dev/null
}

mapfile -t code < <(git ls-files -co --exclude-standard -- app cli desktop engine platform shell window | sort -u | grep -v '^desktop/bench/' |
  grep -E '\.(cpp|h|in)$' | while read -r f; do [ -e "$f" ] && echo "$f"; done)
mapfile -t tests < <(git ls-files -co --exclude-standard -- tests scripts/test.d | sort -u |
  while read -r f; do [ -e "$f" ] && echo "$f"; done | grep -vE '\.(png|svg|bin|jpg)$')

code_lines=$(count "${code[@]}")
test_lines=$(count "${tests[@]}")
ratio=$((test_lines * 1000 / code_lines))
printf 'code: %d lines\ntests: %d lines\nratio: %d.%d%%\n' "$code_lines" "$test_lines" \
  $((ratio / 10)) $((ratio % 10))
if ((test_lines * 100 > code_lines * 35)); then
  echo "The tests are more than 35% of the code: fold or cut cases that catch the fewest faults." >&2
  exit 1
fi
