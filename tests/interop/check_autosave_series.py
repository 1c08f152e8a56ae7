"""An exposure series on the simulated camera auto-saves IMG1.FIT ... IMG5.FIT: astropy reads
each with its own exposure (rising fourfold) and a TIME-OBS at the middle of its own exposure."""
import datetime
import pathlib
import subprocess
import sys
import tempfile

import numpy as np
from astropy.io import fits

# The virtual clock starts the calendar at 2027-01-01 00:00:00 UT; FITS_Diff is 0.
CLOCK_START = datetime.datetime(2027, 1, 1)
SCRIPT = "set continuous 0\ndialog 7 click 710 click 1\ncommand 12\n"

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


with tempfile.TemporaryDirectory() as drives:
    run = subprocess.run(
        [sys.argv[1], "--headless", "--virtual-clock", "--sim-download-ms", "0",
         "--drives", drives], input=SCRIPT, capture_output=True, text=True, timeout=120)
    check(run.returncode == 0, f"exit {run.returncode}: {run.stderr}")
    check("message 50: Exposure Series Completed" in run.stdout, "series did not complete")
    # c:\AUTOSAVE and the settings file's c:\autosave are one folder, matched without case.
    folder = next(pathlib.Path(drives, "c").glob("[aA][uU][tT][oO][sS][aA][vV][eE]"))
    names = sorted(p.name for p in folder.glob("*.FIT"))
    check(names == [f"IMG{i}.FIT" for i in range(1, 6)], f"files {names}")

    start = CLOCK_START
    previous = None
    for i in range(1, 6):
        path = folder / f"IMG{i}.FIT"
        if not path.exists():
            break
        with fits.open(path) as hdul:
            h = hdul[0].header
            data = hdul[0].data.astype(np.float64)
        exptime = h["EXPTIME"]
        check(np.isclose(exptime, 4 ** (i - 1)), f"IMG{i} EXPTIME {exptime}")
        stamp = datetime.datetime.fromisoformat(f"{h['DATE-OBS']}T{h['TIME-OBS']}")
        mid = start + datetime.timedelta(seconds=exptime / 2)
        check(abs((stamp - mid).total_seconds()) <= 1, f"IMG{i} stamped {stamp}, middle {mid}")
        check(data.shape == (290, 376), f"IMG{i} shape {data.shape}")
        # A longer exposure collects more sky: the background rises with each file.
        if previous is not None:
            check(np.median(data) > previous, f"IMG{i} background did not rise")
        previous = np.median(data)
        start += datetime.timedelta(seconds=exptime)

    ini = (folder / "KVR_Q4.INI").read_bytes()
    check(int.from_bytes(ini[:2], "little") == 5, "settings file does not keep number 5")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("IMG1 ... IMG5 read by astropy with EXPTIME 1, 4, 16, 64, 256 and mid-exposure stamps")
