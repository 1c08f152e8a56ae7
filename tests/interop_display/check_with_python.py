#!/usr/bin/python3
"""Reads the sample bitmaps with Pillow and the TIFF files with tifffile and compares every
pixel with the values the program meant to write."""
import pathlib
import sys

import numpy as np
import tifffile
from PIL import Image

SIZES = {
    "bmp_focus": (128, 128),
    "bmp_binned": (376, 290),
    "bmp_camera": (564, 452),
    "bmp_enlarged": (564, 435),
    "bmp_full": (752, 580),
    "bmp_false_colour": (376, 290),
}
TIFFS = {
    "tiff_binned_16": (376, 290, np.uint16),
    "tiff_full_16": (752, 580, np.uint16),
    "tiff_binned_8": (376, 290, np.uint8),
    "tiff_full_8": (752, 580, np.uint8),
}


def check_bitmap(folder, name, size):
    width, height = size
    path = folder / f"{name}.bmp"
    raw = path.read_bytes()
    expected = np.fromfile(folder / f"{name}.expected", dtype=np.uint8)
    with Image.open(path) as image:
        assert image.format == "BMP", name
        # An identity grey palette is read as a grey image, where level and index agree.
        assert image.mode in ("P", "L"), (name, image.mode)
        assert image.size == (width, height), (name, image.size)
        rgb = np.asarray(image.convert("RGB"))
        indices = np.asarray(image)
    if name == "bmp_false_colour":
        assert np.array_equal(rgb.reshape(-1), expected), name
    else:
        assert np.array_equal(rgb[:, :, 0].reshape(-1), expected), name
        assert np.array_equal(rgb[:, :, 0], rgb[:, :, 2]), name
    # The first pixel row of the file is the bottom row of the picture.
    first_file_row = np.frombuffer(raw[1078:1078 + width], dtype=np.uint8)
    assert np.array_equal(first_file_row, indices[height - 1]), name
    assert len(raw) == 1078 + width * height, name


def check_tiff(folder, name, shape):
    width, height, dtype = shape
    expected = np.fromfile(folder / f"{name}.expected", dtype=dtype).reshape(height, width)
    with tifffile.TiffFile(folder / f"{name}.tif") as tif:
        page = tif.pages[0]
        assert page.shape == (height, width), (name, page.shape)
        assert page.dtype == dtype, (name, page.dtype)
        assert tif.byteorder == "<", name
        data = page.asarray()
    assert np.array_equal(data, expected), name


def main():
    folder = pathlib.Path(sys.argv[1])
    for name, size in SIZES.items():
        check_bitmap(folder, name, size)
    for name, shape in TIFFS.items():
        check_tiff(folder, name, shape)
    print(f"{len(SIZES)} bitmaps and {len(TIFFS)} TIFF files agree")


if __name__ == "__main__":
    main()
