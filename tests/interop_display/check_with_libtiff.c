/* Reads every sample TIFF file with libtiff, scanline by scanline, and compares the samples with
 * the values the program meant to write. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tiffio.h>

static int check(const char* dir, const char* name, uint32_t width, uint32_t height,
                 uint16_t bits) {
    char path[4096];
    snprintf(path, sizeof path, "%s/%s.expected", dir, name);
    FILE* f = fopen(path, "rb");
    if (!f) {
        fprintf(stderr, "%s: cannot open\n", path);
        return 1;
    }
    const size_t row_bytes = (size_t)width * (bits / 8);
    unsigned char* expected = malloc(row_bytes * height);
    const size_t got = fread(expected, 1, row_bytes * height, f);
    fclose(f);
    if (got != row_bytes * height) {
        fprintf(stderr, "%s: short\n", path);
        free(expected);
        return 1;
    }
    snprintf(path, sizeof path, "%s/%s.tif", dir, name);
    TIFF* tif = TIFFOpen(path, "r");
    int fail = 0;
    uint32_t w = 0, h = 0;
    uint16_t b = 0, spp = 0, photometric = 0;
    if (!tif) {
        free(expected);
        return 1;
    }
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &b);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    if (w != width || h != height || b != bits || spp != 1 ||
        photometric != PHOTOMETRIC_MINISBLACK) {
        fprintf(stderr, "%s: %ux%u, %u bits, %u samples, photometric %u\n", path, w, h, b, spp,
                photometric);
        fail = 1;
    }
    unsigned char* row = _TIFFmalloc(TIFFScanlineSize(tif));
    for (uint32_t y = 0; !fail && y < height; ++y) {
        /* libtiff returns samples in the machine's byte order, little-endian here like the file. */
        if (TIFFReadScanline(tif, row, y, 0) < 0 ||
            memcmp(row, expected + y * row_bytes, row_bytes)) {
            fprintf(stderr, "%s: row %u differs\n", path, y);
            fail = 1;
        }
    }
    _TIFFfree(row);
    TIFFClose(tif);
    free(expected);
    return fail;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    int fail = 0;
    fail |= check(argv[1], "tiff_binned_16", 376, 290, 16);
    fail |= check(argv[1], "tiff_full_16", 752, 580, 16);
    fail |= check(argv[1], "tiff_binned_8", 376, 290, 8);
    fail |= check(argv[1], "tiff_full_8", 752, 580, 8);
    if (!fail) printf("libtiff reads all four files\n");
    return fail;
}
