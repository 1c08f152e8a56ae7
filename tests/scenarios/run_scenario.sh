#!/usr/bin/env bash
# Runs one script through the headless front end on the virtual clock with a fresh drive root
# and compares standard output and the exit status with NAME.expected (last line "exit N").
# A first line "#! options: ..." adds front-end options (for example --show-progress).
set -u
exe=$1 script=$2
expected=${script%.script}.expected
drives=$(mktemp -d)
trap 'rm -rf "$drives"' EXIT
read -r -a options <<< "$(sed -n '1s/^#! *options: *//p' "$script")"
actual=$("$exe" --headless "${options[@]}" --virtual-clock --drives "$drives" --script "$script" 2>/dev/null; echo "exit $?")
if [ "$actual" != "$(cat "$expected")" ]; then
  echo "output differs from $expected:"
  diff <(echo "$actual") "$expected"
  exit 1
fi
