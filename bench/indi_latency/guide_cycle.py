#!/usr/bin/env python3
"""A guide cycle through the driver's guide port, as an INDI guider sends it: an RA pulse
(TELESCOPE_TIMED_GUIDE_WE) and a Dec pulse (TELESCOPE_TIMED_GUIDE_NS) at once, timed from the
requests until both properties are no longer busy. The simulated mount on the camera's serial port
logs when each move command arrived and when its stop did (--sim-log), which says whether the
pulses overlapped and how long each lasted.

  guide_cycle.py DRIVER_DIR [CYCLES]
"""
import os
import re
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from indi_latency import DEVICE, driver_session  # noqa: E402

RA_MS, DEC_MS = 300, 200


def pulse(c, prop, element, ms):
    c.send(f'<newNumberVector device="{DEVICE}" name="{prop}">'
           f'<oneNumber name="{element}">{ms}</oneNumber></newNumberVector>')


def wait_both_done(c):
    """Reads until both guide properties are no longer busy (the pulses are over)."""
    left = {b"TELESCOPE_TIMED_GUIDE_NS", b"TELESCOPE_TIMED_GUIDE_WE"}
    tag = re.compile(rb'<setNumberVector[^>]*>')
    while left:
        c.sock.settimeout(10)
        c.buffer += c.sock.recv(1 << 20)
        for m in tag.finditer(c.buffer):
            name = re.search(rb'name="([^"]*)"', m.group(0))
            if name and name.group(1) in left and b'state="Busy"' not in m.group(0):
                left.discard(name.group(1))
        c.buffer = c.buffer[-256:] if b"<" not in c.buffer[-256:] else c.buffer[c.buffer.rfind(b"<"):]


def moves(log):
    """(move, stop) times of each LX200 pulse the mount received, by direction letter."""
    out, started = [], {}
    for line in open(log):
        fields = line.split(",")
        if len(fields) < 4 or fields[2] != "bytes":
            continue
        text, t = fields[3].strip('"'), int(fields[0])
        if text.startswith("#:M") and len(text) == 5:
            started[text[3]] = t
        elif text.startswith("#:Q") and len(text) == 5 and text[3] in started:
            out.append((text[3], started.pop(text[3]), t))
    return out


def guide_cycles(c, cycles):
    """Times of `cycles` guide cycles (an RA and a Dec pulse, until both are over), ms."""
    c.set_switch("KVR_GUIDE_PORT", "LX200")
    time.sleep(0.5)
    c.buffer = b""
    times = []
    for _ in range(cycles):
        start = time.monotonic()
        pulse(c, "TELESCOPE_TIMED_GUIDE_WE", "TIMED_GUIDE_W", RA_MS)
        pulse(c, "TELESCOPE_TIMED_GUIDE_NS", "TIMED_GUIDE_N", DEC_MS)
        wait_both_done(c)
        times.append((time.monotonic() - start) * 1000)
        time.sleep(0.2)
    c.set_switch("CONNECTION", "DISCONNECT")
    time.sleep(0.5)
    return times


def main():
    driver_dir = sys.argv[1]
    cycles = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    with tempfile.TemporaryDirectory() as work:
        log = f"{work}/sim.log"
        with driver_session(driver_dir, work, f"--sim-log {log}", "KVR_GUIDE_PORT") as c:
            times = guide_cycles(c, cycles)
        got = moves(log)
    ra = [stop - move for d, move, stop in got if d == "w"]
    dec = [stop - move for d, move, stop in got if d == "n"]
    pairs = list(zip([g for g in got if g[0] == "w"], [g for g in got if g[0] == "n"]))
    overlap = sum(1 for w, n in pairs if n[1] < w[2] and w[1] < n[2])
    print(f"guide cycle RA {RA_MS} ms + Dec {DEC_MS} ms over INDI ({cycles} cycles): "
          f"median {statistics.median(times):.0f} ms, max {max(times):.0f} ms until both are over")
    print(f"  the mount's log: RA moves {statistics.median(ra)} ms, Dec moves "
          f"{statistics.median(dec)} ms (median), {overlap} of {len(pairs)} cycles overlapped")


if __name__ == "__main__":
    main()
