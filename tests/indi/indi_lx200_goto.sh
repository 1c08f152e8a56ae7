#!/usr/bin/env bash
# The program, on the virtual clock and the simulated observatory, goes to M31 from its
# telescope dialog (a script on standard input, kept open). INDI's "LX200 Basic" driver, started
# by indiserver on a free port, connects to the same mount through --sim-mount-pty and must read
# the position of M31 of the date, computed independently with astropy.
set -u
exe=$1
for tool in indiserver indi_setprop indi_getprop indi_lx200basic; do
  command -v "$tool" >/dev/null || { echo "missing $tool (Debian package indi-bin)"; exit 1; }
done
work=$(mktemp -d)
server=
program=
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; fi
  # End of the script: the program finishes on its own.
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
"$exe" --headless --virtual-clock --clock-start 2026-12-07T22:00:00Z --sim-download-ms 0 \
  --sim-mount-pty "$work/mount" --drives "$work/drives" <"$work/script" >"$work/out" 2>&1 &
program=$!
exec 3>"$work/script"
# The settings dialog (resource 17) chooses the LX200 drive ("Meade LX200 (Tm)", 17127) and
# saves it; command 24 opens the telescope dialog (resource 30), where Messier 31 (edit 101)
# and "GoTo Object" (103) send the go-to; the slew takes some 15 s of the virtual clock.
cat >&3 <<'SCRIPT'
dialog 17 click 17127 click 1
command 121
command 24
dialog 30 edit 101 31
dialog 30 click 103
wait 30000
get move_error
get scope_error
SCRIPT

# Its own local socket and HOME, so that an INDI server already running on this machine (the
# usual case at an observatory) does not stop it.
HOME=$work indiserver -p "$port" -u "$work/indiserver" indi_lx200basic >"$work/indi.log" 2>&1 &
server=$!
device="LX200 Basic"
for _ in $(seq 50); do
  [ -e "$work/mount" ] && indi_getprop -p "$port" "$device.DEVICE_PORT.PORT" >/dev/null 2>&1 && break
  sleep 0.2
done
indi_setprop -p "$port" "$device.DEVICE_PORT.PORT=$work/mount"
indi_setprop -p "$port" "$device.CONNECTION.CONNECT=On"
ra= dec=
for _ in $(seq 60); do
  sleep 0.5
  values=$(indi_getprop -p "$port" "$device.EQUATORIAL_EOD_COORD.*" 2>/dev/null)
  ra=$(sed -n 's/.*EQUATORIAL_EOD_COORD.RA=//p' <<<"$values")
  dec=$(sed -n 's/.*EQUATORIAL_EOD_COORD.DEC=//p' <<<"$values")
  # Until the first poll the driver shows zeros.
  if [ -n "$ra" ] && [ -n "$dec" ] && /usr/bin/python3 -c "import sys; sys.exit(abs(float('$dec')) < 1)"; then
    break
  fi
done
echo "program said:"; cat "$work/out"
echo "INDI read RA $ra h, Dec $dec deg"
[ -n "$ra" ] && [ -n "$dec" ] || { echo "no coordinates from INDI"; cat "$work/indi.log"; exit 1; }
/usr/bin/python3 - "$ra" "$dec" <<'PY'
import sys
from astropy.coordinates import SkyCoord, FK5
from astropy.time import Time
import astropy.units as u
ra, dec = float(sys.argv[1]), float(sys.argv[2])
when = Time("2026-12-07T22:00:30", scale="utc")
m31 = SkyCoord("00h42m44.3s", "+41d16m09s", frame=FK5(equinox="J2000"))
now = m31.transform_to(FK5(equinox=when))
d_ra = (ra * 15 - now.ra.deg) * 60
d_dec = (dec - now.dec.deg) * 60
print(f"M31 of the date: RA {now.ra.hour:.5f} h, Dec {now.dec.deg:.5f} deg; off by {d_ra:.2f}', {d_dec:.2f}'")
# The mount's catalogue holds positions to 0.1 minute of time and 1 arcminute.
sys.exit(0 if abs(d_ra) < 2.0 and abs(d_dec) < 1.5 else 1)
PY
