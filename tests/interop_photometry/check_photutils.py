"""Photometry of the program's photometry window against photutils on the same FITS file.

measured.txt holds the mask half-width, the three positions with the program's sums and the
magnitude difference the window showed. photutils measures the same square apertures (centred
on pixel centres, whole pixels with method "exact") and subtracts the background patch's sum;
the two magnitude differences must agree within 0.02.
"""
import math
import sys

import numpy as np
from astropy.io import fits
from photutils.aperture import RectangularAperture, aperture_photometry

work = sys.argv[1]
fields = {}
with open(f"{work}/measured.txt") as f:
    for line in f:
        key, _, rest = line.strip().partition(" ")
        fields[key] = rest

side = 2 * int(fields["rad"]) + 1
positions = []
program_sums = []
for key in ("object", "comparison", "background"):
    x, y, total = (int(v) for v in fields[key].split())
    positions.append((x, y))
    program_sums.append(total)

with fits.open(fields["fits"]) as hdul:
    data = hdul[0].data.astype(np.float64)

apertures = RectangularAperture(positions, w=side, h=side)
table = aperture_photometry(data, apertures, method="exact")
obj, comp, back = (float(v) for v in table["aperture_sum"])
reference = -2.5 * math.log10((obj - back) / (comp - back))
if not fields.get("magnitude"):
    print("FAIL: the program showed no magnitude difference")
    sys.exit(1)
shown = float(fields["magnitude"])

print(f"positions {positions}, {side} x {side} masks")
print(f"program sums {program_sums}, photutils sums {[obj, comp, back]}")
print(f"magnitude difference: program {shown:.2f}, photutils {reference:.4f}")
if abs(shown - reference) > 0.02:
    print("FAIL: the magnitude differences disagree by more than 0.02")
    sys.exit(1)
print("agree within 0.02")
