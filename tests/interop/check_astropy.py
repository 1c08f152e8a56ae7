"""Every FITS variant opens in astropy with the pixels and header values the program wrote."""
import sys
import warnings

import numpy as np
from astropy.io import fits

from fits_variants import VARIANTS, expected_values

failures = []


def check(name, ok, what):
    if not ok:
        failures.append(f"{name}: {what}")


for name, (binned, bits, unsigned) in VARIANTS.items():
    path = f"{sys.argv[1]}/{name}.FIT"
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        with fits.open(path) as hdul:
            h = hdul[0].header.copy()  # taken before the data: scaling drops BZERO
            data = hdul[0].data
            check(name, h["BITPIX"] == bits, f"BITPIX {h['BITPIX']}")
            check(name, data.shape == ((290, 376) if binned else (580, 752)), f"shape {data.shape}")
            check(name, h["BZERO"] == (0 if unsigned else 32768), f"BZERO {h['BZERO']}")
            check(name, h["OBJECT"] == "Barnard's Loop", f"OBJECT {h['OBJECT']!r}")
            check(name, h["OBSERVER"] == "Tester", "OBSERVER")
            check(name, h["DATE-OBS"] == "2027-01-01", "DATE-OBS")
            check(name, h["TIME-OBS"] == "22:05:00", "TIME-OBS")
            check(name, h["EXPTIME"] == 120.0, "EXPTIME")
            check(name, abs(h["PIXWIDTH"] - 0.0086) < 1e-15, "PIXWIDTH")
            check(name, h["FILTER"] == "Ha", "FILTER")
            check(name, h["SATURATE"] == (65535 if unsigned else 32768), "SATURATE")
            check(name, np.array_equal(data.astype(np.int64), expected_values(name)), "pixels")
    messages = [str(w.message) for w in caught]
    if name in ("full16s", "full16u"):
        # 480 bytes past the standard fill.
        check(name, len(messages) == 1 and "Unexpected extra padding" in messages[0],
              f"warnings {messages}")
    else:
        check(name, messages == [], f"warnings {messages}")

for f in failures:
    print("FAIL", f)
print(f"{len(VARIANTS) - len({f.split(':')[0] for f in failures})} passed, "
      f"{len({f.split(':')[0] for f in failures})} failed")
sys.exit(1 if failures else 0)
