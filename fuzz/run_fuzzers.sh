#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while on seeds written by the
# program itself; prints how many executions each ran and fails on any finding.
#   fuzz/run_fuzzers.sh [SECONDS_PER_TARGET]   (default 60)
#   fuzz/run_fuzzers.sh --runs N [TARGET...]   (N executions per target, however long it takes)
# Needs the regular build in build/ (for the seed writer and the headless program).
set -eu
cd "$(dirname "$0")/.."
fuzz_build=build-fuzz
targets=(fits_reader native_loader settings_loader bmp_reader script_parser camera_replies
  accessory_replies)
if [ "${1:-}" = --runs ]; then
  limit=(-runs="$2")
  what="$2 executions"
  shift 2
  [ $# -eq 0 ] || targets=("$@")
else
  limit=(-max_total_time="${1:-60}")
  what="${1:-60} s"
fi
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
[ -f $fuzz_build/build.ninja ] || CC=clang CXX=clang++ cmake -S . -B $fuzz_build -G Ninja -DKVR_FUZZ=ON \
  -DKVR_SANITIZE=ON -DKVR_BUILD_GUI=OFF -DKVR_BUILD_BENCH=OFF -DKVR_WERROR=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build $fuzz_build --target "${targets[@]/#/fuzz_}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/{fits_reader,native_loader,settings_loader,bmp_reader,script_parser,camera_replies,accessory_replies,drives}
build/tests/interop/write_fits_variants "$work/fits_reader"
rm -rf "$work/fits_reader/drives"
# Images as other programs write them: astropy's one-block headers, 16-bit and 8-bit.
/usr/bin/python3 -c "import numpy as np; from astropy.io import fits
fits.PrimaryHDU(np.arange(376 * 290, dtype=np.uint16).reshape(290, 376)).writeto('$work/fits_reader/astropy16.fits')
fits.PrimaryHDU((np.arange(376 * 290) % 256).astype(np.uint8).reshape(290, 376)).writeto('$work/fits_reader/astropy8.fits')"
head -c 218080 /dev/urandom >"$work/native_loader/binned"
head -c 872320 /dev/urandom >"$work/native_loader/full"
cp "$work/fits_reader/binned16s.FIT" "$work/fits_reader/full16u.FIT" "$work/native_loader/"
build/kvr_q4 --headless --virtual-clock --drives "$work/drives" --script /dev/null >/dev/null
cp "$work/drives/c/autosave/KVR_Q4.INI" "$work/settings_loader/"
/usr/bin/python3 -c "from PIL import Image; Image.linear_gradient('L').resize((376, 290)).save('$work/bmp_reader/grey.bmp')"
cp tests/scenarios/*.script "$work/script_parser/"
printf '\x00\x07\x00\x00\x01\x02\x03\x04\x05\x06\x07\x08\x83abc\xff' >"$work/camera_replies/mixed"
# Serial answers of a mount: object information, '1' and '1' for the co-ordinates, '0' for the
# go-to; then an AO reply.
printf '\xa1M31 Andromeda Galaxy#\x811\x811\xa1M31 SU GAL MAG 3.5#\x810\x04OK#' \
  >"$work/accessory_replies/mount_and_ao"
for name in "${targets[@]}"; do
  started=$SECONDS
  "$fuzz_build/fuzz/fuzz_$name" "${limit[@]}" -max_len=900000 -rss_limit_mb=4096 \
    -timeout=20 -print_final_stats=1 "$work/$name" 2>"$work/$name.log" || { tail -40 "$work/$name.log"; exit 1; }
  echo "fuzz_$name: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name.log" | grep -o '[0-9]*$') executions in $((SECONDS - started)) s (limit $what), no finding"
done
