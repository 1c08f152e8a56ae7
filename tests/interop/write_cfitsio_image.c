/* Writes an image as cfitsio writes it (a header of one block), for the program to open: a full
 * frame of unsigned 16-bit pixels (BITPIX 16, BZERO 32768), a ramp over the whole range; with
 * --guider a guider frame of 500 x 290 bytes (BITPIX 8), a ramp over 0 ... 255.
 *   write_cfitsio_image [--guider] FILE */
#include <fitsio.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    const int guider = argc == 3 && strcmp(argv[1], "--guider") == 0;
    if (argc != 2 && !guider) {
        fprintf(stderr, "usage: write_cfitsio_image [--guider] FILE\n");
        return 2;
    }
    const long width = guider ? 500 : 752;
    const long height = guider ? 290 : 580;
    const long count = width * height;
    unsigned short* pixels = malloc(sizeof(unsigned short) * count);
    unsigned char* bytes = malloc((size_t)count);
    if (!pixels || !bytes) return 1;
    for (long i = 0; i < count; ++i) {
        pixels[i] = (unsigned short)(i * 151 % 65536);
        bytes[i] = (unsigned char)(i * 7 % 256);
    }
    fitsfile* f = NULL;
    int status = 0;
    long axes[2] = {width, height};
    char name[1024];
    snprintf(name, sizeof name, "!%s", argv[argc - 1]); /* '!': replace an existing file */
    fits_create_file(&f, name, &status);
    fits_create_img(f, guider ? BYTE_IMG : USHORT_IMG, 2, axes, &status);
    fits_update_key_str(f, "OBJECT", guider ? "cfitsio guider ramp" : "cfitsio ramp", "", &status);
    fits_update_key_dbl(f, "EXPTIME", 2.5, 3, "seconds", &status);
    if (guider)
        fits_write_img(f, TBYTE, 1, (LONGLONG)count, bytes, &status);
    else
        fits_write_img(f, TUSHORT, 1, (LONGLONG)count, pixels, &status);
    fits_close_file(f, &status);
    free(pixels);
    free(bytes);
    if (status) fits_report_error(stderr, status);
    return status ? 1 : 0;
}
