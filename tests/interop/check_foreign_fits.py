"""FITS images written by other programs open in the program, whatever their header length:
astropy's (one block, three blocks, 16-bit signed or unsigned, 8-bit, an 8-bit guider frame), and
any FILE given after the program (cfitsio's, the INDI driver's). Each is opened, saved again as
the program's own FITS file and read back with astropy: the pixels must be the original's, held
within 0 ... 65535 (8-bit data become the high bytes). A guider frame (500 x 290, its rows twice
as tall as the main sensor's) opens in the full frame, each row filling two, the columns beyond
500 black. Files that are not FITS, or are cut short, are refused with
a message and change nothing.

  check_foreign_fits.py KVR_Q4 [FILE ...]
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

import numpy as np
from astropy.io import fits

failures = []


def check(ok, what):
    print(("ok: " if ok else "FAILED: ") + what)
    if not ok:
        failures.append(what)


def expected_pixels(path):
    with fits.open(path) as f:
        data = f[0].data
        if data.dtype.itemsize == 1:
            pixels = np.clip(data.astype(np.int64), 0, 255) * 256
            if pixels.shape == (290, 500):
                frame = np.zeros((580, 752), dtype=np.int64)
                frame[:, :500] = np.repeat(pixels, 2, axis=0)
                return frame
            return pixels
        return np.clip(data.astype(np.int64), 0, 65535)


def astropy_files(folder):
    rng = np.random.default_rng(7)
    ramp = rng.integers(0, 65536, size=(580, 752)).astype(np.uint16)
    # Unsigned 16-bit: BZERO 32768, one header block (875520 bytes in all).
    fits.PrimaryHDU(ramp).writeto(folder / "uint16_full.fits")
    # Signed 16-bit without BZERO: negative values have no place in the frame.
    signed = (rng.integers(-2000, 30000, size=(290, 376))).astype(np.int16)
    fits.PrimaryHDU(signed).writeto(folder / "int16_binned.fits")
    # A header of three blocks.
    long = fits.PrimaryHDU(ramp)
    for i in range(90):
        long.header.add_comment(f"note {i}")
    long.header["OBJECT"] = "Long header"
    long.writeto(folder / "long_header.fits")
    # 8-bit, binned.
    fits.PrimaryHDU(rng.integers(0, 256, size=(290, 376)).astype(np.uint8)).writeto(
        folder / "uint8_binned.fits")
    # A guider frame with its first and last rows and columns marked.
    guider = rng.integers(1, 200, size=(290, 500)).astype(np.uint8)
    guider[0, :] = guider[-1, :] = guider[:, 0] = guider[:, -1] = 255
    fits.PrimaryHDU(guider).writeto(folder / "guider.fits")
    return ["uint16_full.fits", "int16_binned.fits", "long_header.fits", "uint8_binned.fits",
            "guider.fits"]


def run_program(exe, drives, names):
    script = ""
    for i, name in enumerate(names):
        script += (f"echo {name}\nfile c:\\{name}\ncommand 24332\n"
                   f"dialog 14 click 1\nfile c:\\out{i}.fit\ncommand 24335\n")
    run = subprocess.run([exe, "--headless", "--virtual-clock", "--drives", drives],
                         input=script, capture_output=True, text=True, timeout=120)
    check(run.returncode == 0, f"the program ran ({run.returncode}: {run.stderr.strip()})")
    # What the program said about each file, by the echo before it.
    said, current = {}, None
    for line in run.stdout.splitlines():
        if line in names:
            current = line
            said[current] = []
        elif current:
            said[current].append(line)
    return said


def main():
    exe = sys.argv[1]
    with tempfile.TemporaryDirectory() as drives:
        c = pathlib.Path(drives, "c")
        c.mkdir()
        good = astropy_files(c)
        for extra in sys.argv[2:]:
            shutil.copy(extra, c / pathlib.Path(extra).name)
            good.append(pathlib.Path(extra).name)
        # Not FITS at astropy's full-frame length; a FITS file cut short in its data.
        (c / "noise.fits").write_bytes(bytes(range(256)) * (875520 // 256))
        (c / "cut.fits").write_bytes((c / "uint16_full.fits").read_bytes()[:400000])
        bad = ["noise.fits", "cut.fits"]
        said = run_program(exe, drives, good + bad)
        for i, name in enumerate(good):
            messages = [line for line in said.get(name, []) if line.startswith("message")]
            check(not messages, f"{name} opened without a message {messages}")
            out = c / f"OUT{i}.FIT"  # the save dialog writes names in capitals
            if not out.exists():
                check(False, f"{name} was saved again")
                continue
            want = expected_pixels(c / name)
            with fits.open(out) as f:
                got = f[0].data.astype(np.int64)
            check(got.shape == want.shape and np.array_equal(got, want),
                  f"{name}: {want.shape[::-1]} pixels as the original")
            if name == "long_header.fits":
                check(fits.getheader(out)["OBJECT"] == "Long header", "its OBJECT came along")
        for name in bad:
            messages = [line for line in said.get(name, []) if line.startswith("message")]
            check(len(messages) == 1, f"{name} refused with a message {messages}")
    sys.exit(1 if failures else 0)


main()
