/* Writes a full frame as cfitsio writes unsigned 16-bit images (BITPIX 16, BZERO 32768, a
 * header of one block): a ramp over the whole range, for the program to open.
 *   write_cfitsio_image FILE */
#include <fitsio.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: write_cfitsio_image FILE\n");
        return 2;
    }
    enum { kWidth = 752, kHeight = 580 };
    unsigned short* pixels = malloc(sizeof(unsigned short) * kWidth * kHeight);
    if (!pixels) return 1;
    for (long i = 0; i < (long)kWidth * kHeight; ++i) pixels[i] = (unsigned short)(i * 151 % 65536);
    fitsfile* f = NULL;
    int status = 0;
    long axes[2] = {kWidth, kHeight};
    char name[1024];
    snprintf(name, sizeof name, "!%s", argv[1]); /* '!': replace an existing file */
    fits_create_file(&f, name, &status);
    fits_create_img(f, USHORT_IMG, 2, axes, &status);
    fits_update_key_str(f, "OBJECT", "cfitsio ramp", "", &status);
    fits_update_key_dbl(f, "EXPTIME", 2.5, 3, "seconds", &status);
    fits_write_img(f, TUSHORT, 1, (LONGLONG)kWidth * kHeight, pixels, &status);
    fits_close_file(f, &status);
    free(pixels);
    if (status) fits_report_error(stderr, status);
    return status ? 1 : 0;
}
