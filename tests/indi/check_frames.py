"""Checks the FITS frames the INDI driver sent (astropy, numpy).

  check_frames.py exposure BINNED WINDOW HIGHRES HIGHRES_FULL
  check_frames.py guide BEFORE AFTER PULSE_MS
  check_frames.py shape FRAME WIDTH HEIGHT BINNING
  check_frames.py filter FRAME FILTER_NAME ASKED_AT WHEEL_S
"""
import sys
from datetime import datetime

import numpy as np
from astropy.io import fits

# The simulated guide rate (half sidereal) and plate scale (1.8" per 8.6 um column); the guider's
# rows are 16.6 um tall. North moves the stars down the frame.
GUIDE_RATE_ARCSEC_PER_S = 0.5 * 15.041067
PLATE_SCALE_ARCSEC = 1.8
GUIDER_ROW_ARCSEC = PLATE_SCALE_ARCSEC * 16.6 / 8.6


def load(path):
    with fits.open(path) as f:
        return f[0].header, f[0].data.astype(np.float64)


def peaks(data, min_height):
    """Stars: local maxima standing `min_height` above the median, away from the edges, with
    light in their neighbours too (a hot pixel stands alone)."""
    core = data[3:-3, 3:-3]
    background = np.median(data)
    found = []
    for y, x in zip(*np.nonzero(core > background + min_height)):
        y, x = y + 3, x + 3
        box = data[y - 1:y + 2, x - 1:x + 2]
        lit = (box > background + min_height / 3).sum()
        if data[y, x] == box.max() and (box == box.max()).sum() == 1 and lit >= 3:
            found.append((y, x))
    return found


def centroid(data, y, x, r=4):
    y0, y1, x0, x1 = max(0, y - r), min(data.shape[0], y + r + 1), max(0, x - r), min(data.shape[1], x + r + 1)
    box = data[y0:y1, x0:x1]
    box = box - np.median(data)
    box[box < 0] = 0
    total = box.sum()
    ys, xs = np.mgrid[y0:y1, x0:x1]
    return (ys * box).sum() / total, (xs * box).sum() / total


def expect(condition, text):
    print(("ok: " if condition else "FAILED: ") + text)
    return bool(condition)


def exposure(binned_path, window_path, highres_path, highres_full_path):
    h, binned = load(binned_path)
    ok = expect(binned.shape == (290, 376), f"binned frame is 376 x 290 ({binned.shape[::-1]})")
    ok &= expect(h["EXPTIME"] == 1.0 and h["XBINNING"] == 2 and h["YBINNING"] == 2,
                 "EXPTIME 1, XBINNING and YBINNING 2")
    ok &= expect(h["INSTRUME"] == "KVR_Q4 CCD" and h["PIXSIZE1"] == 8.6 and "DATE-OBS" in h,
                 "INSTRUME, PIXSIZE1, DATE-OBS")
    stars = peaks(binned, 200)
    ok &= expect(len(stars) >= 10, f"{len(stars)} stars in the binned frame")
    # The window was read alone by the camera: it shows the same sky as that part of the frame.
    hw, window = load(window_path)
    ok &= expect(window.shape == (100, 150), f"binned window is 150 x 100 ({window.shape[::-1]})")
    part = binned[50:150, 100:250]
    r = np.corrcoef(window.ravel(), part.ravel())[0, 1]
    ok &= expect(r > 0.9, f"window matches its part of the whole frame (r = {r:.3f})")
    hh, high = load(highres_path)
    ok &= expect(high.shape == (200, 300) and hh["XBINNING"] == 1,
                 f"high-resolution window is 300 x 200 unbinned ({high.shape[::-1]})")
    ok &= expect(len(peaks(high, 200)) >= 2, "stars in the high-resolution window")
    # The fast mode reads every other row; the last row has no row below to interpolate from.
    hf, full = load(highres_full_path)
    ok &= expect(full.shape == (580, 752), f"whole high-resolution frame ({full.shape[::-1]})")
    ok &= expect(np.array_equal(full[579], full[578]) and full[579].min() > 0,
                 "its last row repeats the row above (no zeros, no stale frame)")
    ok &= expect(any("Last row repeats" in str(c) for c in hf.get("HISTORY", [])),
                 "a HISTORY card says so")
    # No mount is connected: no telescope is named.
    for header in (h, hw, hh, hf):
        ok &= expect("TELESCOP" not in header,
                     f"no TELESCOP card (found {header.get('TELESCOP')!r})")
    return ok


def guide(before_path, after_path, pulse_ms):
    # The relay closed for the time the simulator logged; the pulse asked for 1000 ms.
    pulse_s = float(pulse_ms) / 1000
    ok = expect(abs(pulse_s - 1.0) < 0.1, f"the relay closed for {pulse_s:.3f} s")
    expected_rows = GUIDE_RATE_ARCSEC_PER_S * pulse_s / GUIDER_ROW_ARCSEC
    _, a = load(before_path)
    _, b = load(after_path)
    ok &= expect(a.shape == (290, 500), f"guider frame is 500 x 290 ({a.shape[::-1]})")
    shifts = []
    for y, x in peaks(a, 20):
        if not (8 < y < 280 and 8 < x < 490):
            continue
        ya, xa = centroid(a, y, x)
        # The star in the later frame: the brightest pixel near the expected place.
        yy, xx = int(round(ya + expected_rows)), int(round(xa))
        box = b[yy - 3:yy + 4, xx - 3:xx + 4]
        dy, dx = np.unravel_index(np.argmax(box), box.shape)
        yb, xb = centroid(b, yy - 3 + dy, xx - 3 + dx)
        shifts.append((yb - ya, xb - xa))
    ok &= expect(len(shifts) >= 3, f"{len(shifts)} guide stars measured")
    if not shifts:
        return False
    dy, dx = np.median(np.array(shifts), axis=0)
    ok &= expect(abs(dy - expected_rows) < 0.25 and abs(dx) < 0.25,
                 f"stars moved {dy:.2f} rows down, {dx:.2f} columns across "
                 f"(expected {expected_rows:.2f} rows)")
    return ok


def shape(path, width, height, binning):
    h, data = load(path)
    ok = expect(data.shape == (int(height), int(width)),
                f"frame is {width} x {height} ({data.shape[::-1]})")
    ok &= expect(h["XBINNING"] == int(binning) and h["YBINNING"] == int(binning),
                 f"XBINNING and YBINNING {binning} ({h['XBINNING']}, {h['YBINNING']})")
    return ok


def filter_frame(path, name, asked_at, wheel_s):
    """A frame asked for at ASKED_AT (UTC) while the wheel needed WHEEL_S to reach filter NAME.
    A 1 s binned frame through a clear filter shows a dozen stars; through a turning wheel none."""
    h, data = load(path)
    stars = peaks(data, 200)
    ok = expect(len(stars) >= 10, f"{len(stars)} stars in the frame")
    ok &= expect(h.get("FILTER") == name, f"FILTER is {name!r} ({h.get('FILTER')!r})")
    began = (datetime.fromisoformat(h["DATE-OBS"]) - datetime.fromisoformat(asked_at)).total_seconds()
    return ok & expect(began >= float(wheel_s) - 0.1,
                       f"the exposure began {began:.2f} s after it was asked for ({wheel_s} s)")


if __name__ == "__main__":
    checks = {"exposure": exposure, "guide": guide, "shape": shape, "filter": filter_frame}
    sys.exit(0 if checks[sys.argv[1]](*sys.argv[2:]) else 1)
