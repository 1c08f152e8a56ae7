#!/usr/bin/env bash
# Builds the test programs with AddressSanitizer and UndefinedBehaviorSanitizer (gcc) into
# build-asan/ and runs the suite there; any report fails the test that caused it. The checks
# that compile nothing (formatting, layering), the interop readers and the soak run in the normal
# build.
#   tools/sanitize.sh [CTEST_ARGS...]
set -eu
cd "$(dirname "$0")/.."
dir=build-asan
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
[ -f $dir/build.ninja ] || CC=gcc CXX=g++ cmake -S . -B $dir -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKVR_SANITIZE=ON -DKVR_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
start=$(date +%s)
cmake --build $dir
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd $dir
ctest --output-on-failure -j2 --timeout 900 -E '^(interop|clang_format|core_has_no_qt|SoakTest\.)' "$@"
echo "sanitized build and suite: $(($(date +%s) - start)) s"
