"""The FITS variants this program writes: their names, what each holds, and its pixels."""
import numpy as np

# name: (binned, bits, unsigned format)
VARIANTS = {
    "binned16s": (True, 16, False),
    "binned16u": (True, 16, True),
    "binned8s": (True, 8, False),
    "binned8u": (True, 8, True),
    "full16s": (False, 16, False),
    "full16u": (False, 16, True),
    "full8s": (False, 8, False),
    "full8u": (False, 8, True),
    "full16s_std": (False, 16, False),
}


def pattern(binned):
    """pattern_pixel() of the C++ tests, as a frame."""
    rows, cols = (290, 376) if binned else (580, 752)
    i = np.arange(rows * cols, dtype=np.uint64)
    p = ((i * np.uint64(2654435761)) >> np.uint64(7)) & np.uint64(0xFFFF)
    p[:4] = [0, 65535, 32768, 32767]
    return p.astype(np.uint16).reshape(rows, cols)


def expected_values(name):
    """The values a standard reader returns (BZERO applied, BITPIX taken as signed)."""
    binned, bits, unsigned = VARIANTS[name]
    p = pattern(binned)
    if bits == 8:
        high = (p >> 8).astype(np.int64)
        return high if unsigned else high + 32768
    return p.view(np.int16).astype(np.int64) if unsigned else p.astype(np.int64)
