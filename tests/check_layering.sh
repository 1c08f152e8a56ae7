#!/usr/bin/env bash
# Fails when an include under src/ points against the folder layers (README, "Where things are"),
# or when a pixel kernel mentions the program state.
set -eu
root=$1
cd "$root/src"

# What each folder may include besides itself, lowest layer first.
declare -A allowed=(
  [core]=""
  [imaging/kernels]=""
  [camera]="core"
  [scope]="core camera"
  [files]="core camera imaging/kernels"
  [imaging]="core camera imaging/kernels files"
  [display]="core camera imaging/kernels files imaging"
  [guiding]="core camera imaging/kernels files imaging display scope"
  [acquire]="core camera imaging/kernels files imaging display guiding scope"
  [platform]="core camera"
  [sim]="core camera imaging/kernels"
  [app]="core camera imaging/kernels files imaging display guiding scope acquire"
  [indi]="core camera imaging/kernels files imaging display guiding scope acquire app platform sim headless"
  [headless]="core camera imaging/kernels files imaging display guiding scope acquire app platform sim"
  [gui]="core camera imaging/kernels files imaging display guiding scope acquire app platform"
)

# The folder a path belongs to: imaging/kernels is a layer of its own.
folder_of() {
  case $1 in
    imaging/kernels/*) echo imaging/kernels ;;
    */*) echo "${1%%/*}" ;;
    *) echo . ;;
  esac
}

status=0
while IFS= read -r file; do
  from=$(folder_of "$file")
  [ "$from" = . ] && continue  # main.cpp ties the front ends together
  if [ -z "${allowed[$from]+set}" ]; then
    echo "$file: folder $from has no place in the layers"; status=1; continue
  fi
  while IFS= read -r inc; do
    to=$(folder_of "$inc")
    [ "$to" = "$from" ] && continue
    case " ${allowed[$from]} " in
      *" $to "*) ;;
      *) echo "$file includes $inc: $from may not include $to"; status=1 ;;
    esac
  done < <(sed -nE 's/^\s*#\s*include\s*"([^"]+)".*/\1/p' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's#^\./##' | sort)

# The kernels work on pixel buffers only.
if grep -nE '\bProgram\s*[&*]|struct Program;|class Program;' -r imaging/kernels; then
  echo "imaging/kernels must not see the program state"; status=1
fi
exit $status
