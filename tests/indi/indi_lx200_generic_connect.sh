#!/usr/bin/env bash
# INDI's "Standard LX200" driver (indi_lx200generic) connects to the simulated mount through
# --sim-mount-pty. It asks the hand controller's formats, site, tracking rate and firmware when
# it connects and waits 5 s for every answer that does not come, so a connection must take well
# under a second; then it reads the position. Extra arguments go to the program
# (--sim-lx200-strict: answers come late, on the real clock).
set -u
exe=$1
shift
for tool in indiserver indi_setprop indi_getprop indi_lx200generic; do
  command -v "$tool" >/dev/null || { echo "missing $tool (Debian package indi-bin)"; exit 1; }
done
work=$(mktemp -d)
server= program=
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; fi
  exec 3>&-
  if [ -n "$program" ]; then
    for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
    kill "$program" 2>/dev/null
    wait "$program" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkfifo "$work/script"
"$exe" --headless "$@" --sim-mount-pty "$work/mount" --drives "$work/drives" <"$work/script" >"$work/out" 2>&1 &
program=$!
exec 3>"$work/script"
HOME=$work indiserver -p "$port" -u "$work/indiserver" indi_lx200generic >"$work/indi.log" 2>&1 &
server=$!
device="Standard LX200"
for _ in $(seq 50); do
  [ -e "$work/mount" ] && indi_getprop -t 1 -p "$port" "$device.DEVICE_PORT.PORT" >/dev/null 2>&1 && break
  sleep 0.2
done
indi_setprop -p "$port" "$device.DEVICE_PORT.PORT=$work/mount"
start=$(date +%s%N)
indi_setprop -p "$port" "$device.CONNECTION.CONNECT=On"
state=
for _ in $(seq 100); do
  state=$(indi_getprop -t 1 -p "$port" -1 "$device.CONNECTION._STATE" 2>/dev/null)
  [ "$state" = "Ok" ] && break
  sleep 0.1
done
ms=$((($(date +%s%N) - start) / 1000000))
echo "connection $state after $ms ms"
[ "$state" = "Ok" ] && [ "$ms" -lt 3000 ] || { cat "$work/indi.log"; exit 1; }
dec=
for _ in $(seq 20); do
  sleep 0.5
  dec=$(indi_getprop -t 1 -p "$port" -1 "$device.EQUATORIAL_EOD_COORD.DEC" 2>/dev/null)
  ra=$(indi_getprop -t 1 -p "$port" -1 "$device.EQUATORIAL_EOD_COORD.RA" 2>/dev/null)
  # The mount starts on the meridian at declination 0; until its first poll the driver shows 0 h.
  [ -n "$ra" ] && /usr/bin/python3 -c "import sys; sys.exit(float('$ra') == 0)" && break
done
echo "position RA $ra h, Dec $dec deg"
/usr/bin/python3 -c "import sys; sys.exit(0 if abs(float('$dec')) < 0.01 and float('$ra') > 0 else 1)"
