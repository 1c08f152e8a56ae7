#!/usr/bin/env bash
# Fails when a source file differs from its clang-format output.
set -eu
fmt=$1 root=$2
cd "$root"
files=$(git ls-files -co --exclude-standard -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'fuzz/*.cpp' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
[ -z "$files" ] && exit 0
echo "$files" | xargs "$fmt" --dry-run -Werror
