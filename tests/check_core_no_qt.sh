#!/usr/bin/env bash
# Fails when any source outside src/gui includes a Qt header.
set -eu
root=$1
hits=$(grep -rlE '#\s*include\s*[<"]Q[A-Za-z]' "$root/src" --include='*.h' --include='*.cpp' | grep -v "^$root/src/gui/" || true)
if [ -n "$hits" ]; then
  echo "Qt headers outside src/gui:"; echo "$hits"; exit 1
fi
