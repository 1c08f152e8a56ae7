#!/usr/bin/env bash
# indiserver runs indi_kvr_q4_ccd on the simulated observatory; Debian's indi_setprop,
# indi_getprop (which saves BLOBs it receives) and indi_eval drive it as any client would.
#   indi_driver.sh DRIVER_DIR exposure|guide|filter|abort
set -u
driver_dir=$1
scenario=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in indiserver indi_setprop indi_getprop indi_eval; do
  command -v "$tool" >/dev/null || { echo "missing $tool (Debian package indi-bin)"; exit 1; }
done
work=$(mktemp -d)
server=
monitor=
cleanup() {
  [ -n "$monitor" ] && kill "$monitor" 2>/dev/null
  if [ -n "$server" ]; then kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; fi
  [ -n "${KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "--- indiserver and driver:"; cat "$work/server.log"
  exit 1
}

dev="KVR_Q4 CCD"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# The driver keeps its INDI configuration under $HOME/.indi: a fresh one per run.
export HOME=$work PATH="$driver_dir:$PATH"
# Without the atmosphere, periodic error, polar drift and backlash a guide pulse alone moves
# the stars.
export KVR_Q4_INDI_OPTIONS="--camera sim --sim-download-ms 0 --drives $work/drives \
--sim-log $work/sim.log --sim-atmosphere off --sim-periodic-error 0 --sim-polar-drift 0 \
--sim-backlash 0"
# A local socket of its own, so that servers of other tests and worktrees may run meanwhile.
indiserver -p "$port" -u "$work/indiserver" indi_kvr_q4_ccd >"$work/server.log" 2>&1 &
server=$!

setprop() { indi_setprop -p "$port" "$@" || fail "indi_setprop $*"; }
getprop() { indi_getprop -p "$port" -1 "$1" 2>/dev/null; }
# Waits (up to $2 seconds) until the expression holds.
wait_for() { indi_eval -p "$port" -w -t "$2" "$1" >/dev/null 2>&1; }
# Saves the BLOBs of PROPERTY arriving within SECONDS into $work/blobs (in the background).
monitor_blobs() {
  mkdir -p "$work/blobs"
  (cd "$work/blobs" && exec indi_getprop -p "$port" -m -t "$2" "$dev.$1.$1" >/dev/null 2>&1) &
  monitor=$!
  sleep 0.3
}
# Waits up to 10 s for a BLOB file named for PROPERTY and moves it to $work/NAME.fits.
take_blob() {
  local file="$work/blobs/$dev.$1.$1.fits"
  for _ in $(seq 100); do
    if [ -s "$file" ]; then sleep 0.2; mv "$file" "$work/$2.fits"; return 0; fi
    sleep 0.1
  done
  fail "no $1 BLOB arrived"
}

for _ in $(seq 50); do getprop "$dev.CONNECTION.CONNECT" >/dev/null && break; sleep 0.1; done
setprop "$dev.CONNECTION.CONNECT=On"
wait_for "\"$dev.CONNECTION.CONNECT\"==1" 10 || fail "no connection"
check=(/usr/bin/python3 "$here/check_frames.py")

case $scenario in
  exposure)
    # A 1 s binned frame, then a binned window the camera reads alone; then a high-resolution
    # window cut from the full frame.
    monitor_blobs CCD1 30
    setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=1"
    take_blob CCD1 binned
    setprop "$dev.CCD_FRAME.X=200;Y=100;WIDTH=300;HEIGHT=200"
    setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=1"
    take_blob CCD1 window
    setprop "$dev.KVR_READOUT_MODE.MODE_2=On"
    wait_for "\"$dev.CCD_BINNING.HOR_BIN\"==1" 5 || fail "the high-resolution mode kept 2 x 2 binning"
    setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=0.5"
    take_blob CCD1 highres
    "${check[@]}" exposure "$work/binned.fits" "$work/window.fits" "$work/highres.fits" ||
      fail "frames"
    ;;
  guide)
    monitor_blobs CCD2 30
    setprop "$dev.GUIDER_EXPOSURE.GUIDER_EXPOSURE_VALUE=1"
    take_blob CCD2 before
    setprop "$dev.TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N=1000"
    sleep 0.2
    # The property is busy while the pulse lasts.
    wait_for "\"$dev.TELESCOPE_TIMED_GUIDE_NS._STATE\"!=2" 5 || fail "the pulse did not end"
    # The simulator logs the north relay (4) closing and opening on its clock.
    pulse_ms=$(awk -F, '$2 == "relays" && $4 == "\"4\"" { on = $1 }
                        $2 == "relays" && $4 == "\"0\"" && on != "" { print $1 - on; exit }' "$work/sim.log")
    [ -n "$pulse_ms" ] || fail "no relay pulse in the simulator's log"
    setprop "$dev.GUIDER_EXPOSURE.GUIDER_EXPOSURE_VALUE=1"
    take_blob CCD2 after
    "${check[@]}" guide "$work/before.fits" "$work/after.fits" "$pulse_ms" || fail "star shift"
    # With the mount on camera serial port 1 the pulse goes out as LX200 commands.
    setprop "$dev.KVR_GUIDE_PORT.LX200=On"
    setprop "$dev.TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N=0;TIMED_GUIDE_S=200"
    sleep 0.2
    wait_for "\"$dev.TELESCOPE_TIMED_GUIDE_NS._STATE\"!=2" 5 || fail "the LX200 pulse did not end"
    for command in '#:RG#' '#:Ms#' '#:Qs#'; do
      grep -q "port1,bytes,\"$command\"" "$work/sim.log" || fail "the mount did not receive $command"
    done
    ;;
  filter)
    [ "$(getprop "$dev.FILTER_NAME.FILTER_SLOT_NAME_1")" = Blank ] ||
      fail "filter names are not the settings file's"
    setprop "$dev.FILTER_SLOT.FILTER_SLOT_VALUE=3"
    wait_for "\"$dev.FILTER_SLOT.FILTER_SLOT_VALUE\"==3" 5 || fail "the wheel did not report slot 3"
    grep -q 'port2,bytes,"\\xA5\\x01\\x03\\xA9"' "$work/sim.log" ||
      fail "the wheel did not receive A5 01 03 A9: $(grep port2 "$work/sim.log")"
    ;;
  abort)
    monitor_blobs CCD1 8
    setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=4"
    sleep 1
    setprop "$dev.CCD_ABORT_EXPOSURE.ABORT=On"
    sleep 0.5
    state=$(getprop "$dev.CCD_EXPOSURE._STATE")
    [ "$state" != Busy ] || fail "the exposure is still busy after the abort"
    sleep 4
    [ -z "$(ls "$work/blobs")" ] || fail "an aborted exposure sent a frame"
    # The camera takes the next exposure as usual.
    kill "$monitor"
    monitor_blobs CCD1 10
    setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=0"
    take_blob CCD1 next
    ;;
  *)
    echo "unknown scenario $scenario"; exit 2 ;;
esac
echo "PASS: $scenario"
