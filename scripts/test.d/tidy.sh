#!/usr/bin/env bash
# clang-tidy over every file compiled into the two programs, with the checks of .clang-tidy, and
# clang-format over the whole tree.
set -euo pipefail
cd "$(dirname "$0")/../.."
[ -f build/compile_commands.json ] || ./scripts/build.sh release
mapfile -t files < <(git ls-files 'app/*.cpp' 'cli/*.cpp' 'desktop/*.cpp' 'engine/*.cpp' \
  'platform/*.cpp' 'shell/*.cpp' 'window/*.cpp' ':!desktop/bench/*')
# The build's flags are GCC's; clang-tidy need not know every one of them.
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p build --quiet \
  --extra-arg=-Wno-unknown-warning-option
# Last, so that its status is the script's: every C++ file of the tree in the house format too.
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror && echo "clang-tidy: ${#files[@]} files clean; formatted"
