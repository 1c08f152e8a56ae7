#!/usr/bin/env python3
"""The readout as INDI clients time it: from the moment the exposure countdown (CCD_EXPOSURE)
reaches zero to the arrival of the frame's BLOB, next to the camera's own download time.

Starts indiserver with indi_kvr_q4_ccd on the simulated camera (DOWNLOAD_MS per full-width field,
2900 by default, as the camera takes) and takes exposures the camera times (0.5 s) and exposures
the driver times (2 s), binned and in the fast full-resolution mode. A binned frame sums both
fields into half a field's rows and comes out in half a field's time; the fast mode reads one
full-width field.

  readout_time.py DRIVER_DIR [FRAMES [DOWNLOAD_MS]]
"""
import os
import re
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from indi_latency import driver_session  # noqa: E402

# A countdown step: the exposure still under way (Busy), its time left.
COUNTDOWN = re.compile(rb'<setNumberVector[^>]*name="CCD_EXPOSURE"[^>]*state="Busy"[^>]*>\s*'
                       rb'<oneNumber name="CCD_EXPOSURE_VALUE"[^>]*>\s*([-0-9.eE+]+)')


def one_frame(c, seconds):
    """(countdown zero -> BLOB, end of the asked exposure -> BLOB), seconds."""
    start = time.monotonic()
    c.buffer = b""
    c.expose(seconds)
    zero_at = None
    scanned = 0
    while True:
        c.sock.settimeout(30)
        chunk = c.sock.recv(1 << 20)
        if not chunk:
            raise RuntimeError("server closed the connection")
        now = time.monotonic()
        c.buffer += chunk
        blob = c.buffer.find(b"<setBLOBVector", scanned)
        for m in COUNTDOWN.finditer(c.buffer, scanned, blob if blob >= 0 else len(c.buffer)):
            if zero_at is None and float(m.group(1)) == 0:
                zero_at = now
        if blob >= 0:
            if b"</setBLOBVector>" in c.buffer[blob:]:
                return (now - (zero_at or now)), (now - start - seconds)
        else:
            # An element cut at the end of this read is scanned again with the next.
            scanned = max(scanned, len(c.buffer) - 512)


def main():
    driver_dir = sys.argv[1]
    frames = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    download_ms = int(sys.argv[3]) if len(sys.argv) > 3 else 2900
    with tempfile.TemporaryDirectory() as work, \
            driver_session(driver_dir, work, f"--sim-download-ms {download_ms}",
                           "KVR_READOUT_MODE", blobs=True) as c:
        print(f"camera download {download_ms} ms a full-width field; {frames} frames each:")
        for mode, label, download_s in (("MODE_1", "binned", download_ms / 2000),
                                        ("MODE_2", "fast full", download_ms / 1000)):
            c.set_switch("KVR_READOUT_MODE", mode)
            time.sleep(0.5)
            for seconds in (0.5, 2):
                got = [one_frame(c, seconds) for _ in range(frames)]
                shown = statistics.median(g[0] for g in got)
                late = statistics.median(g[1] for g in got)
                print(f"  {label} {seconds} s: countdown zero -> BLOB {shown:.2f} s, "
                      f"exposure end -> BLOB {late:.2f} s (download {download_s:.2f} s)")


if __name__ == "__main__":
    main()
