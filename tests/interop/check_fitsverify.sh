#!/usr/bin/env bash
# fitsverify on every FITS variant: all are clean except the full 16-bit frames, which carry
# 480 bytes past the standard's 2880-byte fill (the length existing files are recognised by).
set -u
fitsverify=$1 dir=$2
passed=0 failed=0
expect() {  # name, summary line, extra text that must appear (or "")
  local out
  out=$("$fitsverify" "$dir/$1.FIT" 2>&1)
  if grep -qF "$2" <<<"$out" && { [ -z "$3" ] || grep -qF "$3" <<<"$out"; }; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $1: expected '$2' ${3:+and '$3'}"
    echo "$out" | tail -5
  fi
}
for v in binned16s binned16u binned8s binned8u full8s full8u full16s_std; do
  expect "$v" "Verification found 0 warning(s) and 0 error(s)." ""
done
for v in full16s full16u; do
  expect "$v" "Verification found 0 warning(s) and 1 error(s)." \
    "File has extra byte(s) after last HDU at byte 878400."
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
