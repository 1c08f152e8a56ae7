#!/usr/bin/env python3
"""Guiding report: closed-loop runs of every guide path on the simulated observatory.

Each run is a script for the headless program on the virtual clock, with the simulator's event
log (--sim-log) recording the mount's true pointing error once a second. The figures are taken
from that truth, not from the program's own centroids: RMS in RA (on the sky), in Dec and in
total, and the peak, in arcseconds, about the run's mean pointing (guiding holds the star where it
was picked; where that is, is not an error). Beside them stand the guiding graph's own figures:
the RMS of the errors the program measured on its guide frames over the run, in arcseconds at the
graph's plate scale (seeing included, so they read a little higher than the truth).

After the table, guider training is checked against the simulated mount's known guide rate, with
the camera square and turned by 30 degrees.

Usage: tools/guiding_report.py [--program build/kvr_q4] [--minutes 30] [--only NAME ...]
"""
import argparse
import math
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The default simulated sky: 10" peak to peak of periodic error over 8 minutes, 3"/min of
# declination drift, 2" seeing, 5" of declination backlash.
SKY = ["--sim-periodic-error", "10", "--sim-worm-period", "480", "--sim-polar-drift", "3",
       "--sim-seeing", "2", "--sim-backlash", "5", "--sim-plate-scale", "1.8"]

# What the simulated mount does with a second of guide-rate drive (half the sidereal rate), and
# how that shows on the guider: a column (8.6 um) is one plate-scale step, a row (16.6 um) a
# little less than two.
GUIDE_ARCSEC_PER_S = 0.5 * 15.041067
GUIDER_COLUMN_ARCSEC = 1.8
GUIDER_ROW_ARCSEC = GUIDER_COLUMN_ARCSEC * 16.6 / 8.6

# The trained guider corrects this share of each measured error: the rest waits for the next
# frames, so the seeing in one frame is not handed to the mount in full.
AGGRESSIVENESS = "set guider_aggressiveness 60\n"

# Take a binned one-second frame and pick the star of the default focus window on it.
# The mount on the camera's serial port 1, its link taken as checked (as the settings dialog
# would have stored it).
PICK_MAIN = """dialog 7 click 704 edit 105 1 click 1
command 12
set telescope l
set comfound 1
command 21
mouse left 188 129
command 21
"""

# Main-camera training, then a fresh frame and the star picked again (training forgets it).
TRAIN_MAIN = """command 22
dialog 7 click 704 edit 105 1 click 1
command 12
command 21
mouse left 188 129
command 21
"""

# The guider's guide star, picked as the guider dialog would.
PICK_GUIDER = """set guider_picked_star 1
set guider_pick_xcent 250
set guider_pick_ycent 145
set exp_guider_value 1
set exp_guider_range s
"""

# The guider dialog (command 27) as an observer uses it: a preview stopped by a click at 20 s, the
# guide star picked on the guider picture, the mount trained, trained guiding with the RA angle;
# then "Start Guiding" hands over to stand-alone guiding (command 890) until a key press.
def standalone(minutes):
    return ("mouse left 1 1 20000\n"
            "dialog 23 click 823 click 822 mouse 800 250 145 click 828 click 885 click 878\n"
            "key %d\ncommand 27\n" % (100000 + minutes * 60000))


# A long exposure of `minutes` with whatever guiding is armed: `extra` dialog actions first.
def long_exposure(minutes, extra=""):
    return "dialog 7 click 704 edit 105 1 %s click 705 edit 105 %d click 1\ncommand 12\n" % (
        extra, minutes)


def runs(minutes):
    ms = minutes * 60000
    guider_exposure = PICK_GUIDER + "set GuiderMode T\n"
    return [
        ("unguided", PICK_MAIN + long_exposure(minutes), []),
        ("main camera", PICK_MAIN + TRAIN_MAIN + "key %d\ncommand 23\n" % (ms + 60000), []),
        ("self-guiding", PICK_MAIN + TRAIN_MAIN + long_exposure(minutes, "click 135"), []),
        ("guider, untrained", PICK_MAIN + guider_exposure + "set guider_use_trained 0\n"
         + "dialog 7 click 704 edit 105 1 click 705 edit 105 %d click 15\ncommand 12\n" % minutes,
         []),
        ("guider, trained, 100 %", PICK_MAIN + guider_exposure + "set ignore_RA_angle 0\n"
         + "train guider\n"
         + "dialog 7 click 704 edit 105 1 click 705 edit 105 %d click 15\ncommand 12\n" % minutes,
         []),
        ("guider, trained", PICK_MAIN + guider_exposure + AGGRESSIVENESS
         + "set ignore_RA_angle 0\ntrain guider\n"
         + "dialog 7 click 704 edit 105 1 click 705 edit 105 %d click 15\ncommand 12\n" % minutes,
         []),
        ("guider, trained, 30 deg", PICK_MAIN + guider_exposure + AGGRESSIVENESS
         + "set ignore_RA_angle 0\ntrain guider\n"
         + "dialog 7 click 704 edit 105 1 click 705 edit 105 %d click 15\ncommand 12\n" % minutes,
         ["--sim-rotation", "30"]),
        ("guider, stand-alone", PICK_MAIN + AGGRESSIVENESS + standalone(minutes), []),
        # AO steps per guider pixel on the simulated sky (steps of 0.3"): a column is 1.8" wide,
        # 6 steps; a row is 3.47" tall, nearly 12 steps (the defaults 6/6 halve Dec's gain).
        # Each mount bump takes the element with it by the shift earlier bumps were seen to make.
        ("guider, AO unit", PICK_MAIN + PICK_GUIDER + AGGRESSIVENESS + "set GuiderMode A\n"
         + "set AOUnit_available 1\nset AOUnit_comport 0\nset AOe w\nset AOw e\n"
         + "set AOUnit_slewx 6\nset AOUnit_slewy 12\nset AOUnit_bump_compensate 1\n"
         + "dialog 7 click 704 edit 105 1 click 705 edit 105 %d click 15\ncommand 12\n" % minutes,
         ["--sim-port", "2=ao"]),
    ]


def pointing(log_path):
    """(t_ms, ra_err, dec_err) of every pointing line of the simulator's log, with the AO unit's
    tilt of the image at that moment added: through the AO unit the star stays put when the
    element makes up for the mount's error."""
    out = []
    tilts = []
    with open(log_path) as f:
        header = f.readline().strip().split(",")
        col = {name: i for i, name in enumerate(header)}
        for line in f:
            cells = line.rstrip("\n").split(",")
            if len(cells) < len(header):
                continue
            event = cells[col["event"]]
            if event not in ("pointing", "tilt"):
                continue
            sample = (int(cells[col["t_ms"]]), float(cells[col["ra_err_arcsec"]]),
                      float(cells[col["dec_err_arcsec"]]))
            if event == "pointing":
                out.append(sample)
            else:
                tilts.append(sample + tuple(float(v) for v in cells[col["data"]].split()))
    tilts.sort(key=lambda t: t[0])
    end = recentred(tilts)
    return [(t, ra + east, dec + north) for (t, ra, dec), (east, north) in
            zip(out, tilt_at([t for t, _, _ in out], tilts)) if end is None or t < end]


def recentred(tilts):
    """When the program recentred the AO element after guiding (each axis moved straight back
    to 0 by the log's last tilt lines), else None: from then on the star is no longer held."""
    i = len(tilts)
    while i > 1:
        (_, east, north), (_, was_east, was_north) = tilts[i - 1][:3], tilts[i - 2][:3]
        if not ((east == 0 and north == was_north) or (north == 0 and east == was_east)) \
                or (east, north) == (was_east, was_north):
            break
        i -= 1
    return tilts[i][0] if i < len(tilts) else None


def tilt_at(times, tilts):
    """The AO tilt (east, north) at each of the ascending `times`, from the log's tilt lines:
    (t_ms, east, north, east per s, north per s, travel), the element moving on from each."""
    i = -1
    for t in times:
        while i + 1 < len(tilts) and tilts[i + 1][0] <= t:
            i += 1
        if i < 0:
            yield 0.0, 0.0
            continue
        t0, east, north, east_rate, north_rate, travel = tilts[i]
        s = (t - t0) / 1000.0
        yield (max(-travel, min(travel, east + east_rate * s)),
               max(-travel, min(travel, north + north_rate * s)))


def guided_window(log_path):
    """Start of the first correction (a mount command or pulse after the pick), else None."""
    with open(log_path) as f:
        f.readline()
        for line in f:
            cells = line.split(",")
            if len(cells) > 3 and cells[2] in ("bytes", "pulse") and "RG" in line:
                return int(cells[0])
    return None


def stats(samples):
    n = len(samples)
    if n == 0:
        return None
    mean_ra = sum(s[1] for s in samples) / n
    mean_dec = sum(s[2] for s in samples) / n
    ra = [s[1] - mean_ra for s in samples]
    dec = [s[2] - mean_dec for s in samples]
    rms_ra = math.sqrt(sum(v * v for v in ra) / n)
    rms_dec = math.sqrt(sum(v * v for v in dec) / n)
    peak = max(math.hypot(a, b) for a, b in zip(ra, dec))
    return rms_ra, rms_dec, math.hypot(rms_ra, rms_dec), peak


# The guiding graph's own figures, from the program's measured errors over the whole run.
GRAPH = ("guide_rms_ra", "guide_rms_dec", "guide_rms_total", "guide_graph_samples")


def graph_figures(stdout):
    """(RA, Dec, total, samples) as the guiding graph shows them, else None."""
    values = {}
    for line in stdout.splitlines():
        name, _, value = line.partition(" = ")
        if name in GRAPH:
            values[name] = float(value)
    if len(values) < len(GRAPH) or values["guide_graph_samples"] == 0:
        return None
    return tuple(values[n] for n in GRAPH)


def training_check(program, rotation):
    """Guider training on the simulated sky turned by `rotation` degrees: the trained motion of a
    second of west and of north drive, each against the mount's known rate and the camera's angle.
    Returns printable lines and whether both rates came within 10 %."""
    script = PICK_MAIN + PICK_GUIDER + "set GuiderMode T\nset ignore_RA_angle 0\ntrain guider\n" \
        + "".join("get %s\n" % n for n in ("RA_x", "RA_y", "Dec_x", "Dec_y", "guider_trained"))
    with tempfile.TemporaryDirectory(prefix="kvr_training_") as tmp:
        script_path = os.path.join(tmp, "run.script")
        with open(script_path, "w") as f:
            f.write(script)
        done = subprocess.run([program, "--headless", "--virtual-clock", "--drives",
                               os.path.join(tmp, "drives"), "--script", script_path] + SKY
                              + ["--sim-rotation", str(rotation)], capture_output=True, text=True)
    got = {}
    for line in done.stdout.splitlines():
        name, _, value = line.partition(" = ")
        if name in ("RA_x", "RA_y", "Dec_x", "Dec_y", "guider_trained"):
            got[name] = int(value)
    if done.returncode != 0 or got.get("guider_trained") != 1:
        return ["training at %d deg failed" % rotation], False
    lines, good = [], True
    for axis, x, y, turn in (("RA", got["RA_x"], got["RA_y"], 0), ("Dec", got["Dec_x"],
                                                                      got["Dec_y"], 90)):
        east, down = x * GUIDER_COLUMN_ARCSEC, y * GUIDER_ROW_ARCSEC
        speed = math.hypot(east, down)
        off = (speed / GUIDE_ARCSEC_PER_S - 1) * 100
        # The angle of the motion against the sensor's x axis, folded onto 0 ... 180.
        angle = math.degrees(math.atan2(down, east)) % 180
        expected = (turn + rotation) % 180
        good = good and abs(off) <= 10
        lines.append("  %-4s %3d, %3d px/s = %5.2f\"/s (mount %5.2f, %+5.1f %%), at %5.1f deg "
                     "(camera %5.1f)" % (axis, x, y, speed, GUIDE_ARCSEC_PER_S, off, angle,
                                        expected))
    return lines, good


def run(program, name, script, options, minutes, keep):
    with tempfile.TemporaryDirectory(prefix="kvr_guiding_") as tmp:
        script_path = os.path.join(tmp, "run.script")
        log_path = os.path.join(tmp, "sim.csv")
        with open(script_path, "w") as f:
            f.write("set guide_graph_minutes %d\n" % minutes + script
                    + "".join("get %s\n" % n for n in GRAPH))
        cmd = [program, "--headless", "--virtual-clock", "--drives", os.path.join(tmp, "drives"),
               "--script", script_path, "--sim-log", log_path] + SKY + options
        done = subprocess.run(cmd, capture_output=True, text=True)
        if keep:
            with open(os.path.join(keep, name.replace(" ", "_").replace(",", "") + ".out"),
                      "w") as f:
                f.write(done.stdout + done.stderr)
        if done.returncode != 0:
            return None, done.stderr.strip().splitlines()[-1:] or ["exit %d" % done.returncode]
        samples = pointing(log_path)
        if not samples:
            return None, ["no pointing in the log"]
        end = samples[-1][0]
        start = max(samples[0][0], end - minutes * 60000)
        window = [s for s in samples if start <= s[0] <= end]
        return (stats(window), graph_figures(done.stdout)), []


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", default=os.path.join(ROOT, "build", "kvr_q4"))
    parser.add_argument("--minutes", type=int, default=30)
    parser.add_argument("--only", nargs="*", help="runs whose name contains one of these")
    parser.add_argument("--keep", help="directory for each run's program output")
    args = parser.parse_args()
    print("%-26s %8s %8s %8s %8s  | %-26s" % ("run (%d min)" % args.minutes, "RA", "Dec",
                                              "total", "peak", "guiding graph RA/Dec/total"))
    for name, script, options in runs(args.minutes):
        if args.only and not any(o in name for o in args.only):
            continue
        figures, notes = run(args.program, name, script, options, args.minutes, args.keep)
        if figures is None:
            print("%-26s %s" % (name, "failed: " + " ".join(notes)))
        else:
            truth, graph = figures
            shown = "%8.2f %8.2f %8.2f" % graph[:3] if graph else "%8s" % "-"
            print("%-26s %8.2f %8.2f %8.2f %8.2f  | %s" % ((name,) + truth + (shown,)))
        sys.stdout.flush()
    if args.only:
        return
    print("\nGuider training against the simulated mount (within 10 % of its rate):")
    for rotation in (0, 30):
        lines, good = training_check(args.program, rotation)
        print("camera at %d deg: %s" % (rotation, "within 10 %" if good else "NOT within 10 %"))
        print("\n".join(lines))


if __name__ == "__main__":
    main()
