/* Every FITS variant opens in cfitsio with the pixels and header values the program wrote.
   Arguments: the variants' directory. */
#include <fitsio.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct variant {
    const char* name;
    int binned, bits, unsigned_format;
};

static const struct variant kVariants[] = {
    {"binned16s", 1, 16, 0}, {"binned16u", 1, 16, 1}, {"binned8s", 1, 8, 0},
    {"binned8u", 1, 8, 1},   {"full16s", 0, 16, 0},   {"full16u", 0, 16, 1},
    {"full8s", 0, 8, 0},     {"full8u", 0, 8, 1},     {"full16s_std", 0, 16, 0},
};

/* pattern_pixel() of the C++ tests. */
static uint16_t pattern_pixel(uint64_t i) {
    static const uint16_t first[4] = {0, 65535, 32768, 32767};
    if (i < 4) return first[i];
    return (uint16_t)((i * 2654435761u) >> 7);
}

static int check_variant(const char* dir, const struct variant* v) {
    char path[4096], object[FLEN_VALUE], filter[FLEN_VALUE];
    double exptime = 0, bzero = -1;
    long naxes[2] = {0, 0};
    int status = 0, bitpix = 0, naxis = 0, failed = 0;
    fitsfile* f = NULL;
    snprintf(path, sizeof path, "%s/%s.FIT", dir, v->name);
    if (fits_open_file(&f, path, READONLY, &status)) {
        fits_report_error(stderr, status);
        return 1;
    }
    fits_get_img_param(f, 2, &bitpix, &naxis, naxes, &status);
    fits_read_key(f, TSTRING, "OBJECT", object, NULL, &status);
    fits_read_key(f, TSTRING, "FILTER", filter, NULL, &status);
    fits_read_key(f, TDOUBLE, "EXPTIME", &exptime, NULL, &status);
    fits_read_key(f, TDOUBLE, "BZERO", &bzero, NULL, &status);
    const long cols = v->binned ? 376 : 752, rows = v->binned ? 290 : 580;
    if (status || bitpix != v->bits || naxis != 2 || naxes[0] != cols || naxes[1] != rows ||
        strcmp(object, "Barnard's Loop") != 0 || strcmp(filter, "Ha") != 0 || exptime != 120.0 ||
        bzero != (v->unsigned_format ? 0.0 : 32768.0)) {
        fprintf(stderr, "%s: header (status %d, BITPIX %d, %ldx%ld, OBJECT '%s')\n", v->name,
                status, bitpix, naxes[0], naxes[1], object);
        failed = 1;
    }
    const long n = cols * rows;
    long* values = malloc(sizeof(long) * (size_t)n);
    long first = 1;
    int anynul = 0;
    /* Standard readers apply BZERO and take BITPIX 16 as signed. */
    if (fits_read_img(f, TLONG, first, n, NULL, values, &anynul, &status)) {
        fprintf(stderr, "%s: data ", v->name);
        fits_report_error(stderr, status);
        failed = 1;
    } else {
        for (long i = 0; i < n; ++i) {
            const uint16_t p = pattern_pixel((uint64_t)i);
            long want = v->bits == 8 ? (p >> 8) + (v->unsigned_format ? 0 : 32768)
                                     : (v->unsigned_format ? (long)(int16_t)p : (long)p);
            if (values[i] != want) {
                fprintf(stderr, "%s: pixel %ld is %ld, not %ld\n", v->name, i, values[i], want);
                failed = 1;
                break;
            }
        }
    }
    free(values);
    status = 0;
    fits_close_file(f, &status);
    return failed;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: check_cfitsio DIR\n");
        return 2;
    }
    int failed = 0;
    const int count = (int)(sizeof kVariants / sizeof kVariants[0]);
    for (int i = 0; i < count; ++i) failed += check_variant(argv[1], &kVariants[i]);
    printf("%d passed, %d failed\n", count - failed, failed);
    return failed ? 1 : 0;
}
