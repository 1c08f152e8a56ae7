#!/usr/bin/env bash
# Fails when an include under src/ points against the folder layers of the README's map ("Where
# things are"), when that map no longer matches the tree, or when a pixel kernel mentions the
# program state.
set -eu
root=$1
cd "$root/src"

# What each folder may include besides itself: the "May include" column of the README's map, so
# that the map and the rule are one.
readme=$root/README.md
map=$(sed -n '/^## Where things are/,/^## /p' "$readme")
declare -A allowed=()
while IFS='|' read -r _ folder _ includes _; do
  folder=$(sed -E 's/[` ]//g; s#/$##' <<<"$folder")
  allowed[$folder]=$(grep -oE '`[a-z/]+`' <<<"$includes" | tr -d '`' | tr '\n' ' ' || true)
done < <(grep -E '^\| `[a-z/]+/` \|' <<<"$map")
if [ ${#allowed[@]} -eq 0 ]; then
  echo "README.md: no folder map under \"Where things are\""; exit 1
fi

status=0
# The map names every folder of src/ and only those.
while IFS= read -r dir; do
  [ -n "${allowed[$dir]+set}" ] || { echo "README.md: the map misses src/$dir"; status=1; }
done < <(find . -mindepth 1 -maxdepth 1 -type d | sed 's#^\./##')
for dir in "${!allowed[@]}"; do
  [ -d "$dir" ] || { echo "README.md: the map names src/$dir, which does not exist"; status=1; }
done
# Files and functions the section points to still exist.
while IFS= read -r path; do
  [ -e "$path" ] || [ -e "$root/$path" ] || { echo "README.md: the map points to $path, which does not exist"; status=1; }
done < <(grep -oE '`[a-z_/]+\.(h|cpp|sh)`' <<<"$map" | tr -d '`' | sort -u)
while IFS= read -r fn; do
  grep -rqE "\b$fn\(" . || { echo "README.md: the map names $fn(), which no source defines"; status=1; }
done < <(grep -oE '`[a-z_0-9]+\(' <<<"$map" | tr -d '`(' | sort -u)

# The folder a path belongs to.
folder_of() {
  case $1 in
    */*) echo "${1%%/*}" ;;
    *) echo . ;;
  esac
}

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
if grep -nE '\bProgram\s*[&*]|struct Program;|class Program;' -r kernels; then
  echo "kernels must not see the program state"; status=1
fi
exit $status
