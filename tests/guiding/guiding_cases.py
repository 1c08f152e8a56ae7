#!/usr/bin/python3
"""Closed-loop guiding cases on the simulated observatory, each scored on the simulator's truth:

- thin-to-thick passing cloud: guiding waits while the star is gone and goes on when it is back,
  never ending on its own, and holds the star through it (a star gone for good, and no
  correction from an empty box, are the corrections tests' synthetic frames);
- an AO training after a mount training: the mount's calibration is untouched, and guiding
  through the mount still holds the star.

Usage: guiding_cases.py PROGRAM   (prints one line a case; exit status 0 when all hold)
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import guiding_matrix as matrix  # noqa: E402

MINUTES = 24


def run(program, script, options, seed=1):
    x, y = matrix.guider_star(program, seed, "default", options)
    script = script.replace("STAR_X", str(x)).replace("STAR_Y", str(y))
    with tempfile.TemporaryDirectory(prefix="kvr_cases_") as tmp:
        script_path = os.path.join(tmp, "run.script")
        log_path = os.path.join(tmp, "sim.csv")
        with open(script_path, "w") as f:
            f.write(script)
        done = subprocess.run([program, "--headless", "--virtual-clock", "--drives",
                               os.path.join(tmp, "drives"), "--script", script_path,
                               "--sim-log", log_path, "--sim-seed", str(seed)] + options,
                              capture_output=True, text=True, timeout=600)
        samples = mount_pointing(log_path) if os.path.exists(log_path) else []
    return done, samples


def mount_pointing(log_path):
    """(t_ms, ra_err, dec_err) of the mount's true pointing: these cases guide through the mount
    (the AO element, when trained, is back at its centre)."""
    out = []
    with open(log_path) as f:
        header = f.readline().strip().split(",")
        col = {name: i for i, name in enumerate(header)}
        for line in f:
            cells = line.rstrip("\n").split(",")
            if len(cells) >= len(header) and cells[col["event"]] == "pointing":
                out.append((int(cells[col["t_ms"]]), float(cells[col["ra_err_arcsec"]]),
                            float(cells[col["dec_err_arcsec"]])))
    return out


def rms_after(samples, start_ms, end_ms):
    window = [s for s in samples if start_ms <= s[0] <= end_ms]
    return matrix.stats(window)[2] if len(window) > 30 else None


STANDALONE = (matrix.CHOOSE_DRIVE
              + matrix.guider_dialog(828, 878, "key %d\n" % ((MINUTES + 2) * 60000)))


def cloud_passes(program):
    # A cloud in every 8 minutes, 60 s long, taking half to all of the light at its thickest.
    clouds = ["--sim-cloud-depth", "1", "--sim-cloud-interval", "8", "--sim-cloud-duration", "60"]
    done, samples = run(program, STANDALONE, clouds)
    problems = []
    if "Guide star lost" in done.stdout:
        problems.append("guiding gave up during a passing cloud")
    total = rms_after(samples, 5 * 60000, (MINUTES + 1) * 60000)
    if total is None or total >= 1.5:
        problems.append("total RMS %s\" through the clouds" % total)
    return "passing cloud: total %.2f\"" % (total or -1), problems


def ao_then_mount(program):
    figures = "".join("get %s\n" % n for n in ("RA_x", "RA_y", "Dec_x", "Dec_y"))
    # The guider dialog twice: first the mount's training; then, on a second preview, the AO
    # training, the guiding mode switched back to the mount and "Start Guiding".
    script = (matrix.CHOOSE_DRIVE.replace("click 1\n", "click 17268 click 1\n")
              + matrix.guider_dialog(828, 2) + figures
              + "mouse left 1 1 %d\nkey %d\n" % (3 * 60000, (MINUTES + 4) * 60000)
              + "dialog 23 click 823 click 822 mouse 800 STAR_X STAR_Y click 935 click 939 "
              + "click 878\ncommand 27\n" + figures + "get GuiderMode\n")
    done, samples = run(program, script, ["--sim-port", "2=ao"])
    values = [v for v in done.stdout.splitlines() if v.split(" = ")[0] in ("RA_x", "RA_y",
                                                                         "Dec_x", "Dec_y")]
    problems = []
    if len(values) != 8 or values[:4] != values[4:]:
        problems.append("the AO training changed the mount's figures: %s" % values)
    if "GuiderMode = T" not in done.stdout:
        problems.append("the guiding mode did not return to the mount")
    end = samples[-1][0] if samples else 0
    total = rms_after(samples, end - 6 * 60000, end - 60000)
    if total is None or total >= 1.0:
        problems.append("mount guiding after the AO training: total RMS %s\"" % total)
    return "AO then mount: total %.2f\"" % (total or -1), problems


def main():
    program = sys.argv[1]
    failures = 0
    for case in (cloud_passes, ao_then_mount):
        label, problems = case(program)
        print(label, "ok" if not problems else "FAIL: " + "; ".join(problems))
        failures += bool(problems)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
