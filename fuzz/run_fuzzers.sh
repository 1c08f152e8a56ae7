#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while on seeds written by the
# program itself; prints how many executions each ran.
#   fuzz/run_fuzzers.sh [SECONDS_PER_TARGET]   (default 60)
# Needs the regular build in build/ (for the seed writer and the headless program).
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
fuzz_build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B $fuzz_build -G Ninja -DKVR_FUZZ=ON -DKVR_SANITIZE=ON \
  -DKVR_BUILD_GUI=OFF -DKVR_BUILD_BENCH=OFF -DKVR_WERROR=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build $fuzz_build --target fuzz_fits_reader fuzz_native_loader fuzz_settings_loader
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/fits" "$work/native" "$work/settings" "$work/drives"
build/tests/interop/write_fits_variants "$work/fits"
rm -rf "$work/fits/drives"
head -c 218080 /dev/urandom >"$work/native/binned"
head -c 872320 /dev/urandom >"$work/native/full"
cp "$work/fits/binned16s.FIT" "$work/fits/full16u.FIT" "$work/native/"
build/kvr_q4 --headless --virtual-clock --drives "$work/drives" --script /dev/null >/dev/null
cp "$work/drives/c/autosave/KVR_Q4.INI" "$work/settings/"
for t in fits_reader:fits native_loader:native settings_loader:settings; do
  name=${t%%:*} seeds=$work/${t##*:}
  "$fuzz_build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=900000 -rss_limit_mb=4096 \
    -print_final_stats=1 "$seeds" 2>"$work/$name.log" || { tail -40 "$work/$name.log"; exit 1; }
  echo "fuzz_$name: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name.log" | grep -o '[0-9]*$') executions, no finding"
done
