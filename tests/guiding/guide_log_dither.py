#!/usr/bin/python3
"""The guide log and dithering, closed loop on the simulated observatory, scored on its truth.

One headless run on the virtual clock: the drive chosen, a photo and a pick, the guider dialog's
training, then a series of five exposures (5 s to 1280 s, 28 minutes) guided by the guider head
through the mount and dithered by 3 guider pixels before each exposure but the first. Then:

- the guide log is read back by a parser of its own that follows PHD2's guide-log layout as the
  log viewers read it (sections, settings lines, the column heading, CSV frame lines, INFO lines);
- the training's calibration section comes before the session, complete, with the rates of the
  simulated mount's guide rate;
- each frame's dx / dy and RA / Dec distances are compared with the mount's true pointing error
  at the frame's time: between two dithers the reference is fixed, so the log's offset minus the
  true error must stay constant (up to seeing), and from one dither to the next it must change by
  the dither the log announces;
- the exposures (from the saved FITS files' DATE-OBS, TIME-OBS and EXPTIME) lie where the truth
  says the dithers put the mount: consecutive exposures 3 px (5.4") apart, each held to under
  1" RMS while it exposed.

Usage: guide_log_dither.py PROGRAM   (exit status 0 when all hold)
"""
import calendar
import glob
import math
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import guiding_cases as cases  # noqa: E402
import guiding_matrix as matrix  # noqa: E402

CLOCK_START = "2026-12-07T22:00:00Z"
DITHER_PX = 3.0
COLUMN_ARCSEC = matrix.COLUMN_ARCSEC  # a guider column
ROW_ARCSEC = matrix.ROW_ARCSEC  # a guider row
HEADING = ("Frame,Time,mount,dx,dy,RARawDistance,DECRawDistance,RAGuideDistance,"
           "DECGuideDistance,RADuration,RADirection,DECDuration,DECDirection,XStep,YStep,"
           "StarMass,SNR,ErrorCode")
SETTINGS = ("set dither_every_frames 1\nset dither_amount_px %.1f\nset dither_settle_px 1\n"
            "set dither_settle_limit_s 60\n" % DITHER_PX)
SERIES = "dialog 7 click 704 edit 105 5 click 710 click 15\ncommand 12\n"


def parse_log(path):
    """Sections of a PHD2-layout guide log. Sessions: each a dict with the start, the header
    lines, and the entries in order: ("frame", fields...) or ("info", text). Calibrations: each a
    dict of its step lines (direction, step, dx, dy, x, y, dist), its rates by direction (px per
    second) and the line that closes it."""
    sessions, calibrations, session, state = [], [], None, "skip"
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if state in ("calibration header", "calibration"):
                cal = calibrations[-1]
                if not line.strip():
                    state = "skip"
                elif state == "calibration header":
                    if line == "Direction,Step,dx,dy,x,y,Dist":
                        state = "calibration"
                elif " calibration complete. Angle = " in line:
                    rate = line.split("Rate = ")[1].split(" px/sec")[0]
                    cal["rates"][line.split()[0]] = float(rate)
                elif line.split(",")[0] in ("West", "East", "North", "South", "Backlash"):
                    cells = line.split(",")
                    cal["steps"].append((cells[0], int(cells[1])) + tuple(map(float, cells[2:])))
                else:
                    cal["last"] = line
                continue
            if state == "skip":
                if line.startswith("Calibration Begins at "):
                    calibrations.append({"steps": [], "rates": {}, "last": None,
                                         "before_session": len(sessions)})
                    state = "calibration header"
                elif line.startswith("Guiding Begins at "):
                    session = {"begins": line[len("Guiding Begins at "):], "header": [],
                               "entries": [], "ended": False}
                    sessions.append(session)
                    state = "header"
            elif state == "header":
                if line.startswith("Frame,Time,mount"):
                    if line != HEADING:
                        raise ValueError("column heading: " + line)
                    state = "frames"
                else:
                    session["header"].append(line)
            elif not line.strip() or line.startswith("Guiding Ends"):
                session["ended"] = line.startswith("Guiding Ends")
                state = "skip"
            elif line[0] in "123456789":
                cells = line.split(",")
                if cells[2] == '"DROP"':
                    if len(cells) != 19:
                        raise ValueError("drop line: " + line)
                    session["entries"].append(("drop", int(cells[0]), float(cells[1])))
                    continue
                if len(cells) != 18 or cells[2] not in ('"Mount"', '"AO"'):
                    raise ValueError("frame line: " + line)
                number, seconds = int(cells[0]), float(cells[1])
                dx, dy, ra, dec = (float(v) for v in cells[3:7])
                session["entries"].append(("frame", number, seconds, dx, dy, ra, dec))
            elif line.startswith("INFO: "):
                session["entries"].append(("info", line[len("INFO: "):]))
            else:
                raise ValueError("unexpected line in a session: " + line)
    return sessions, calibrations


def header_value(session, key):
    for line in session["header"]:
        if key in line:
            return float(line.split(key)[1].split()[0].rstrip(","))
    raise ValueError("no %r in the header" % key)


def truth_at(samples, t_ms):
    """The true pointing error (RA, Dec arcseconds) at t_ms, between the once-a-second samples."""
    lo, hi = 0, len(samples) - 1
    while hi - lo > 1:
        mid = (lo + hi) // 2
        if samples[mid][0] <= t_ms:
            lo = mid
        else:
            hi = mid
    (t0, ra0, dec0), (t1, ra1, dec1) = samples[lo], samples[hi]
    w = 0.0 if t1 == t0 else min(1.0, max(0.0, (t_ms - t0) / (t1 - t0)))
    return ra0 + w * (ra1 - ra0), dec0 + w * (dec1 - dec0)


def segments(session, start_ms, scale):
    """The frames between dithers: lists of (t_ms, log RA, log Dec, dx, dy), arcseconds; and the
    dithers the log announces (dx, dy guider pixels)."""
    out, dithers, current = [], [], []
    for entry in session["entries"]:
        if entry[0] == "info" and entry[1].startswith("DITHER by "):
            numbers = entry[1][len("DITHER by "):].split(", new lock pos")[0].split(",")
            dithers.append(tuple(float(v) for v in numbers))
            out.append(current)
            current = []
        elif entry[0] == "frame":
            _, _, seconds, dx, dy, ra, dec = entry
            current.append((start_ms + seconds * 1000.0, ra * scale, dec * scale,
                            dx * COLUMN_ARCSEC, dy * ROW_ARCSEC))
    out.append(current)
    return out, dithers


def spread(values):
    mean = sum(values) / len(values)
    return math.sqrt(sum((v - mean) ** 2 for v in values) / len(values)), mean


# On the simulated sky (north up, east left) a mount pointing east of its target shows the star
# at a larger x, and one pointing north at a larger row: dx and dy follow the true error, and the
# RA and Dec distances (positive where the correction is east / north) are its opposite.
AXES = (("dx", 3, 0, 1), ("dy", 4, 1, 1), ("RA", 1, 0, -1), ("Dec", 2, 1, -1))


def check_distances(session, samples, start_ms, scale, problems):
    """Between two dithers the reference is fixed: about each stretch's mean, each frame's offset
    must follow the true error (with its sign) up to seeing, with a slope near 1; and from one
    stretch to the next the difference of the means must step by the dither the log announces."""
    segs, dithers = segments(session, start_ms, scale)
    if len(dithers) != 4 or any(len(seg) < 3 for seg in segs):
        problems.append("expected 4 dithers between 5 guided stretches, got %d dithers and %s "
                        "frames" % (len(dithers), [len(seg) for seg in segs]))
        return
    for name, index, axis, sign in AXES:
        logged, truths, means = [], [], []
        for seg in segs:
            truth = [sign * truth_at(samples, f[0])[axis] for f in seg]
            log_mean = spread([f[index] for f in seg])[1]
            truth_mean = spread(truth)[1]
            logged += [f[index] - log_mean for f in seg]
            truths += [v - truth_mean for v in truth]
            means.append(log_mean - truth_mean)
        residual = math.sqrt(sum((a - b) ** 2 for a, b in zip(logged, truths)) / len(truths))
        slope = sum(a * b for a, b in zip(logged, truths)) / sum(b * b for b in truths)
        print("%-3s: log minus truth %.2f\" RMS, slope %.2f on the truth's %.2f\" RMS" % (
            name, residual, slope, math.sqrt(sum(b * b for b in truths) / len(truths))))
        if residual > 0.6 or not 0.75 <= slope <= 1.25:
            problems.append("%s distances do not follow the truth: %.2f\" RMS apart, slope %.2f"
                            % (name, residual, slope))
        if name in ("dx", "dy"):
            # The reference moved by the dither: star minus reference moved by minus that.
            arcsec = COLUMN_ARCSEC * (1 if name == "dx" else 2)
            for k, dither in enumerate(dithers):
                seen = means[k + 1] - means[k]
                told = -dither[0 if name == "dx" else 1] * arcsec
                if abs(seen - told) > 0.8:
                    problems.append("%s: dither %d moved the reference by %.2f\" in truth, the "
                                    "log says %.2f\"" % (name, k + 1, -seen, -told))


def check_calibration(calibrations, problems):
    """The guider dialog's training, logged before the session: complete, with each axis's rate
    the simulated mount's guide rate (at declination 0 RA and Dec move the image alike)."""
    if len(calibrations) != 1 or calibrations[0]["before_session"] != 0:
        problems.append("expected one calibration section before the session, got %d"
                        % len(calibrations))
        return
    cal = calibrations[0]
    if not cal["steps"] or cal["last"] != "Calibration complete, mount = LX200 mount.":
        problems.append("calibration: %d steps, closed by %r" % (len(cal["steps"]), cal["last"]))
    want = matrix.GUIDE_ARCSEC_PER_S / COLUMN_ARCSEC
    for axis in ("West", "North"):
        rate = cal["rates"].get(axis)
        print("calibration %s: %s px/s (true %.3f)" % (axis, rate, want))
        if rate is None or abs(rate / want - 1) > 0.1:
            problems.append("calibration %s rate %s px/s, true %.3f" % (axis, rate, want))


def exposures(folder):
    """(start_ms, end_ms) of each saved frame, from its FITS header: TIME-OBS is the middle of
    the exposure in whole seconds (UT here), EXPTIME its length."""
    from astropy.io import fits
    out = []
    origin = calendar.timegm(time.strptime(CLOCK_START, "%Y-%m-%dT%H:%M:%SZ"))
    for path in sorted(glob.glob(os.path.join(folder, "*.FIT")),
                       key=lambda p: int("".join(c for c in os.path.basename(p) if c.isdigit()))):
        h = fits.getheader(path)
        mid = calendar.timegm(time.strptime(h["DATE-OBS"] + " " + h["TIME-OBS"],
                                            "%Y-%m-%d %H:%M:%S")) - origin
        half = 500.0 * h["EXPTIME"]
        out.append((mid * 1000.0 - half, mid * 1000.0 + half))
    return out


def check_frames(windows, samples, problems):
    """Each exposure held to under 1" RMS about its mean pointing; consecutive exposures' mean
    pointings one dither apart."""
    if len(windows) != 5:
        problems.append("expected five saved frames, got %d" % len(windows))
        return
    centres = []
    for k, (start, end) in enumerate(windows):
        # One second either side of the whole-second times, plus the first guide frame's time.
        inside = [s for s in samples if start + 1000 <= s[0] <= end - 1000]
        if len(inside) < 3:
            problems.append("frame %d: only %d truth samples" % (k + 1, len(inside)))
            return
        ra_rms, ra = spread([s[1] for s in inside])
        dec_rms, dec = spread([s[2] for s in inside])
        total = math.hypot(ra_rms, dec_rms)
        centres.append((ra, dec))
        print("frame %d: %4.0f s, truth RMS %.2f\" at (%.2f\", %.2f\")" % (
            k + 1, (end - start) / 1000.0, total, ra, dec))
        if total >= 1.0:
            problems.append("frame %d: truth RMS %.2f\" during the exposure" % (k + 1, total))
    want = DITHER_PX * COLUMN_ARCSEC
    for k in range(1, len(centres)):
        apart = math.hypot(centres[k][0] - centres[k - 1][0], centres[k][1] - centres[k - 1][1])
        print("frames %d-%d: %.2f\" apart (dither %.2f\")" % (k, k + 1, apart, want))
        if abs(apart - want) > 0.2 * want:
            problems.append("frames %d and %d lie %.2f\" apart, not %.2f\"" % (
                k, k + 1, apart, want))


def main():
    program = sys.argv[1]
    problems = []
    script = (SETTINGS + matrix.CHOOSE_DRIVE + matrix.PHOTO_AND_PICK
              + matrix.guider_dialog(828, 2) + SERIES)
    x, y = matrix.guider_star(program, 1, "default", [])
    script = script.replace("STAR_X", str(x)).replace("STAR_Y", str(y))
    with tempfile.TemporaryDirectory(prefix="kvr_guidelog_") as tmp:
        drives = os.path.join(tmp, "drives")
        script_path = os.path.join(tmp, "run.script")
        log_path = os.path.join(tmp, "sim.csv")
        with open(script_path, "w") as f:
            f.write(script)
        done = subprocess.run([program, "--headless", "--virtual-clock", "--clock-start",
                               CLOCK_START, "--drives", drives, "--script", script_path,
                               "--sim-log", log_path, "--sim-seed", "1"],
                              capture_output=True, text=True, timeout=900,
                              env=dict(os.environ, TZ="UTC"))
        if done.returncode != 0:
            print(done.stdout[-3000:], done.stderr[-3000:])
            return 1
        samples = cases.mount_pointing(log_path)
        folder = os.path.join(drives, "c", "autosave")
        logs = glob.glob(os.path.join(folder, "PHD2_GuideLog_*.txt"))
        if len(logs) != 1:
            print("FAIL: expected one guide log, found %s" % logs)
            return 1
        sessions, calibrations = parse_log(logs[0])
        check_calibration(calibrations, problems)
        session = sessions[-1] if sessions else None
        if session is None or not session["ended"]:
            problems.append("no guiding session that ends in the log")
        else:
            scale = header_value(session, "Pixel scale = ")
            begins = calendar.timegm(time.strptime(session["begins"], "%Y-%m-%d %H:%M:%S"))
            origin = calendar.timegm(time.strptime(CLOCK_START, "%Y-%m-%dT%H:%M:%SZ"))
            numbers = [e[1] for e in session["entries"] if e[0] in ("frame", "drop")]
            if numbers != list(range(1, len(numbers) + 1)):
                problems.append("frame numbers do not run from 1 in steps of 1")
            infos = [e[1] for e in session["entries"] if e[0] == "info"]
            settled = infos.count("SETTLING STATE CHANGE, Settling complete")
            print("guide log: %d frames, %d INFO lines, %d settlings complete" % (
                len(numbers), len(infos), settled))
            if settled != 4:
                problems.append("%d settlings complete, not 4" % settled)
            # The start is printed in whole seconds: take the middle of that second.
            check_distances(session, samples, (begins - origin) * 1000 + 500, scale, problems)
        check_frames(exposures(folder), samples, problems)
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
