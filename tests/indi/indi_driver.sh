#!/usr/bin/env bash
# indiserver runs indi_kvr_q4_ccd on the simulated observatory; Debian's indi_setprop,
# indi_getprop (which saves BLOBs it receives) and indi_eval drive it as any client would.
#   indi_driver.sh DRIVER_DIR exposure|guide|filter|abort|settings|numbers|stalls|second [KVR_Q4]
# With the program KVR_Q4, the exposure and guide scenarios also open the frames the driver sent.
set -u
driver_dir=$1
scenario=$2
program=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
for tool in indiserver indi_setprop indi_getprop indi_eval; do
  command -v "$tool" >/dev/null || { echo "missing $tool (Debian package indi-bin)"; exit 1; }
done
work=$(mktemp -d)
server=
server2=
monitor=
cleanup() {
  [ -n "$monitor" ] && kill "$monitor" 2>/dev/null
  if [ -n "$server2" ]; then kill "$server2" 2>/dev/null; wait "$server2" 2>/dev/null; fi
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
# the stars. Frames download at once, but where the camera's own pace matters.
download_ms=0
[ "$scenario" = stalls ] && download_ms=2900
export KVR_Q4_INDI_OPTIONS="--camera sim --sim-download-ms $download_ms --drives $work/drives \
--sim-log $work/sim.log --sim-atmosphere off --sim-periodic-error 0 --sim-polar-drift 0 \
--sim-backlash 0"
# A local socket of its own, so that servers of other tests and worktrees may run meanwhile.
indiserver -p "$port" -u "$work/indiserver" indi_kvr_q4_ccd >"$work/server.log" 2>&1 &
server=$!

setprop() { indi_setprop -p "$port" "$@" || fail "indi_setprop $*"; }
getprop() { indi_getprop -p "$port" -1 "$1" 2>/dev/null; }
# Waits (up to $2 seconds) until the expression holds.
wait_for() { indi_eval -p "$port" -w -t "$2" "$1" >/dev/null 2>&1; }
# Fails unless property element $1 reads $2 (what the test expects is said by $3).
expect_prop() {
  local got
  got=$(getprop "$dev.$1")
  [ "$got" = "$2" ] || fail "$3 ($1 is '$got', not '$2')"
}
now_ms() { date +%s%3N; }
# Relay patterns the simulated guide box received, one a line.
relays() { awk -F, '$2 == "relays" { gsub(/"/, "", $4); print $4 }' "$work/sim.log"; }
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
    # The whole high-resolution frame, down to its last row.
    setprop "$dev.CCD_FRAME.X=0;Y=0;WIDTH=752;HEIGHT=580"
    setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=0.5"
    take_blob CCD1 highres_full
    "${check[@]}" exposure "$work/binned.fits" "$work/window.fits" "$work/highres.fits" \
      "$work/highres_full.fits" || fail "frames"
    if [ -n "$program" ]; then
      /usr/bin/python3 "$here/../interop/check_foreign_fits.py" "$program" "$work/binned.fits" \
        "$work/highres_full.fits" || fail "the program did not open the driver's frames"
    fi
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
    if [ -n "$program" ]; then
      /usr/bin/python3 "$here/../interop/check_foreign_fits.py" "$program" "$work/before.fits" ||
        fail "the program did not open the driver's guider frame"
    fi
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
    # Two slots on, 800 ms a slot: the wheel is busy until it can have arrived.
    start=$(now_ms)
    setprop "$dev.FILTER_SLOT.FILTER_SLOT_VALUE=3"
    sleep 1.2
    expect_prop FILTER_SLOT._STATE Busy "the wheel reported slot 3 before it could have turned"
    wait_for "\"$dev.FILTER_SLOT._STATE\"==1" 5 || fail "the wheel did not report slot 3"
    took=$(($(now_ms) - start))
    [ "$took" -ge 1550 ] || fail "slot 3 reported after $took ms, before the 1600 ms of two slots"
    expect_prop FILTER_SLOT.FILTER_SLOT_VALUE 3 "the wheel reported another slot"
    grep -q 'port2,bytes,"\\xA5\\x01\\x03\\xA9"' "$work/sim.log" ||
      fail "the wheel did not receive A5 01 03 A9: $(grep port2 "$work/sim.log")"
    # Slot 2 is seven slots on (the wheel turns one way): an exposure asked for with it waits
    # for the wheel, so its light comes through that filter and the header names it.
    name=$(getprop "$dev.FILTER_NAME.FILTER_SLOT_NAME_2")
    monitor_blobs CCD1 20
    asked_at=$(date -u +%Y-%m-%dT%H:%M:%S.%3N)
    setprop "$dev.FILTER_SLOT.FILTER_SLOT_VALUE=2"
    setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=1"
    take_blob CCD1 slot2
    "${check[@]}" filter "$work/slot2.fits" "$name" "$asked_at" 5.6 || fail "the frame through slot 2"
    ;;
  settings)
    # While a binned exposure runs, its binning and frame stay as they are.
    monitor_blobs CCD1 20
    setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=3"
    sleep 0.5
    indi_setprop -p "$port" "$dev.CCD_BINNING.HOR_BIN=1;VER_BIN=1"
    indi_setprop -p "$port" "$dev.CCD_FRAME.X=100;Y=100;WIDTH=200;HEIGHT=200"
    sleep 0.3
    expect_prop CCD_BINNING._STATE Alert "binning changed during an exposure"
    expect_prop CCD_BINNING.HOR_BIN 2 "binning changed during an exposure"
    expect_prop CCD_FRAME._STATE Alert "the frame changed during an exposure"
    expect_prop CCD_FRAME.WIDTH 752 "the frame changed during an exposure"
    take_blob CCD1 during
    "${check[@]}" shape "$work/during.fits" 376 290 2 || fail "the frame taken meanwhile"
    # A frame off the sensor is refused and reads back as before; one on odd pixels reads back
    # as the even window the binned mode uses, and the frame has that size.
    indi_setprop -p "$port" "$dev.CCD_FRAME.X=700;Y=0;WIDTH=200;HEIGHT=100"
    sleep 0.3
    expect_prop CCD_FRAME._STATE Alert "a frame off the sensor was taken"
    expect_prop CCD_FRAME.X 0 "a frame off the sensor was taken"
    expect_prop CCD_FRAME.WIDTH 752 "a frame off the sensor was taken"
    setprop "$dev.CCD_FRAME.X=201;Y=101;WIDTH=301;HEIGHT=199"
    sleep 0.3
    for element in X=200 Y=100 WIDTH=300 HEIGHT=198; do
      expect_prop "CCD_FRAME.${element%=*}" "${element#*=}" "the frame reads back what is not used"
    done
    setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=0"
    take_blob CCD1 window
    "${check[@]}" shape "$work/window.fits" 150 99 2 || fail "the window"
    ;;
  numbers)
    # Exposures that are no numbers or out of range are refused; none is taken.
    monitor_blobs CCD1 6
    for v in nan inf -1 1e9; do
      indi_setprop -p "$port" "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=$v"
      sleep 0.2
      expect_prop CCD_EXPOSURE._STATE Alert "an exposure of $v was not refused"
    done
    sleep 2
    [ -z "$(ls "$work/blobs")" ] || fail "a refused exposure sent a frame"
    # One pulse north, then refused ones, then one naming only south: the relays close for the
    # north pulse and the south one, nothing else.
    setprop "$dev.TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N=300"
    sleep 0.2
    wait_for "\"$dev.TELESCOPE_TIMED_GUIDE_NS._STATE\"!=2" 5 || fail "the pulse did not end"
    for v in -1 60001 1e9 inf nan; do
      indi_setprop -p "$port" "$dev.TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N=$v"
      sleep 0.2
      expect_prop TELESCOPE_TIMED_GUIDE_NS._STATE Alert "a pulse of $v ms was not refused"
    done
    setprop "$dev.TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_S=200"
    sleep 0.2
    wait_for "\"$dev.TELESCOPE_TIMED_GUIDE_NS._STATE\"!=2" 5 || fail "the south pulse did not end"
    sleep 1
    [ "$(relays | tr '\n' ' ')" = "4 0 2 0 " ] ||
      fail "the relays closed other than north once, south once: $(relays | tr '\n' ' ')"
    ;;
  stalls)
    # Fifty short exposures (the camera times them: a start is followed by the read at once),
    # each aborted at once: the worker drops those still queued unread, and the next frame
    # comes as usual.
    for _ in $(seq 50); do
      setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=0.5"
      setprop "$dev.CCD_ABORT_EXPOSURE.ABORT=On"
    done
    monitor_blobs CCD1 20
    start=$(now_ms)
    setprop "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=1"
    take_blob CCD1 next
    took=$(($(now_ms) - start))
    echo "the frame after the aborts came in $took ms"
    [ "$took" -lt 9000 ] || fail "the frame after the aborts took $took ms"
    # A guide frame's countdown starts when its light does, after the head's clearing read (as
    # long as a read, about 1.9 s here): well after that it still shows most of a 1 s exposure.
    setprop "$dev.GUIDER_EXPOSURE.GUIDER_EXPOSURE_VALUE=1"
    sleep 1.5
    wait_for "\"$dev.GUIDER_EXPOSURE.GUIDER_EXPOSURE_VALUE\">0.5" 4 ||
      fail "the guider countdown ran out before the light started"
    wait_for "\"$dev.GUIDER_EXPOSURE._STATE\"==1" 10 || fail "no guide frame"
    # A disconnect during a 60 s pulse opens the relay at once, and the driver answers on.
    setprop "$dev.TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N=60000"
    sleep 1
    setprop "$dev.CONNECTION.DISCONNECT=On"
    sleep 1
    [ "$(relays | tail -1)" = 0 ] || fail "the mount still moves a second after the disconnect"
    start=$(now_ms)
    setprop "$dev.CONNECTION.CONNECT=On"
    wait_for "\"$dev.CONNECTION.CONNECT\"==1" 10 || fail "no connection again"
    took=$(($(now_ms) - start))
    [ "$took" -lt 3000 ] || fail "connecting again took $took ms"
    ;;
  second)
    # A second driver process on the same observatory (as a local Ekos profile naming the
    # device as camera, guider and wheel would start) is refused with the reason, to its client
    # and in its log; once the first has ended, it connects.
    port2=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    indiserver -p "$port2" -u "$work/indiserver2" indi_kvr_q4_ccd >"$work/server2.log" 2>&1 &
    server2=$!
    for _ in $(seq 200); do indi_getprop -p "$port2" -1 "$dev.CONNECTION.CONNECT" >/dev/null 2>&1 && break; sleep 0.1; done
    # The client asks to connect and reads the driver's answer.
    said=$(/usr/bin/python3 - "$port2" "$dev" <<'PY'
import socket, sys, time
for _ in range(100):
    try:
        s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
        break
    except OSError:
        time.sleep(0.1)
s.sendall(b'<getProperties version="1.7"/>')
time.sleep(1.0)
s.sendall(f'<newSwitchVector device="{sys.argv[2]}" name="CONNECTION"><oneSwitch '
          'name="CONNECT">On</oneSwitch></newSwitchVector>'.encode())
s.settimeout(20)
got, deadline = b"", time.monotonic() + 20
while b"Cannot connect" not in got and time.monotonic() < deadline:
    got += s.recv(65536)
i = got.find(b"Cannot connect")
print(got[i:got.find(b'"', i)].decode() if i >= 0 else "")
PY
)
    echo "the second driver said: $said"
    case $said in *"in use by another process"*) ;; *) fail "the second driver did not say why" ;; esac
    [ "$(indi_getprop -p "$port2" -1 "$dev.CONNECTION.CONNECT")" = Off ] ||
      fail "the second driver says it is connected"
    grep -q "in use by another process" "$work/server2.log" ||
      fail "the second driver's log does not say why: $(cat "$work/server2.log")"
    expect_prop CONNECTION.CONNECT On "the first driver lost the camera"
    # The simulated observatory (its mount, sky and clock) is the first process's until it ends.
    # indiserver ends at once; its driver (the lock's holder) a moment later, as a user who
    # presses Connect again would see.
    kill "$server"; wait "$server" 2>/dev/null; server=
    connected=
    for _ in $(seq 20); do
      indi_setprop -p "$port2" "$dev.CONNECTION.CONNECT=On"
      if indi_eval -p "$port2" -w -t 2 "\"$dev.CONNECTION.CONNECT\"==1" >/dev/null 2>&1; then
        connected=1; break
      fi
    done
    [ -n "$connected" ] ||
      fail "the second driver did not connect after the first ended: $(cat "$work/server2.log")"
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
