#include "acquire/calibration.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "core/drive_paths.h"
#include "core/program.h"
#include "imaging/arithmetic.h"

namespace kvr {

namespace {

// Lengths of the files a calibration frame may come from.
constexpr long kNativeBinnedBytes = 218080;
constexpr long kFitsBinnedBytes = 224640;
constexpr long kNativeFullBytes = 872320;
constexpr long kFitsFullBytes = 878880;
// The standard FITS length of a full frame (2880-byte fill), accepted as well.
constexpr long kFitsFullStandardBytes = 878400;
constexpr long kBinningSplitBytes = 872000;
constexpr int kFitsCardBytes = 80;
constexpr int kFitsHeaderCards = 72;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool read_exact(std::FILE* f, void* dst, size_t n) {
    return std::fread(dst, 1, n, f) == n;
}

// Columns are counted from 1 as on a punched card.
bool card_has(const char* card, int first_col, const char* text) {
    return std::memcmp(card + first_col - 1, text, std::strlen(text)) == 0;
}

int read_native(const Program& p, std::FILE* f, uint16_t* frame) {
    const size_t row_bytes = static_cast<size_t>(p.geo.width3);
    for (int y = 0; y < p.geo.height1; ++y) {
        uint8_t* row = reinterpret_cast<uint8_t*>(frame + y * p.geo.width1);
        if (!read_exact(f, row, row_bytes)) return kCalibrationWrongFile;
        // Stored little-endian, as the buffers are on this machine.
    }
    return kCalibrationOk;
}

int read_fits(const Program& p, std::FILE* f, uint16_t* frame) {
    const bool small = p.readout.binned != 0;
    char card[kFitsCardBytes];
    unsigned offset = 32768;
    for (int n = 1; n <= kFitsHeaderCards; ++n) {
        if (!read_exact(f, card, sizeof card)) return kCalibrationWrongFile;
        bool ok = true;
        if (n == 2) ok = card_has(card, 29, "16");
        if (n == 3) ok = card_has(card, 30, "2");
        if (n == 4) ok = card_has(card, 28, small ? "376" : "752");
        if (n == 5) ok = card_has(card, 28, small ? "290" : "580");
        if (!ok) return kCalibrationWrongFile;
        if (n == 36 && std::memcmp(card, "BZERO   =   +0.0000000000E+00", 29) == 0) offset = 0;
    }
    const int w = p.geo.width1;
    uint8_t row[2 * 752];
    for (int y = 0; y < p.geo.height1; ++y) {
        if (!read_exact(f, row, static_cast<size_t>(2 * w))) return kCalibrationWrongFile;
        uint16_t* out = frame + y * w;
        for (int x = 0; x < w; ++x)
            out[x] = static_cast<uint16_t>((row[2 * x] * 256u + row[2 * x + 1] + offset) & 0xFFFF);
    }
    return kCalibrationOk;
}

}  // namespace

int read_calibration_frame(const Program& p, const std::string& path, uint16_t* frame) {
    File f(std::fopen(map_drive_path(p.drive_root, path).c_str(), "rb"));
    if (!f) return kCalibrationOpenFailed;
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return kCalibrationWrongFile;
    const long size = std::ftell(f.get());
    std::rewind(f.get());
    const bool native = size == kNativeBinnedBytes || size == kNativeFullBytes;
    const bool fits =
        size == kFitsBinnedBytes || size == kFitsFullBytes || size == kFitsFullStandardBytes;
    if (!native && !fits) return kCalibrationWrongFile;
    const bool binned_file = size < kBinningSplitBytes;
    if (binned_file != (p.readout.binned != 0)) return kCalibrationWrongFile;
    return native ? read_native(p, f.get(), frame) : read_fits(p, f.get(), frame);
}

int auto_remove(const Program& p, int loaded, const std::string& path, uint16_t* read_buffer,
                uint16_t* image, const uint16_t* dark) {
    if (!loaded) {
        const int r = read_calibration_frame(p, path, read_buffer);
        if (r != kCalibrationOk) return r;
    }
    const int n = p.geo.width1 * p.geo.height1;
    for (int i = 0; i < n; ++i)
        image[i] = image[i] > dark[i] ? static_cast<uint16_t>(image[i] - dark[i]) : 0;
    return kCalibrationOk;
}

int auto_flatfield(const Program& p, int loaded, const std::string& path, uint16_t* read_buffer,
                   uint16_t* image, const uint16_t* flat) {
    if (!loaded) {
        const int r = read_calibration_frame(p, path, read_buffer);
        if (r != kCalibrationOk) return r;
    }
    const double mean = flat_field_mean(p.geo, flat);
    for (int row = 2; row < p.geo.height1; ++row) do_flat_field(p.geo, image, flat, mean, row);
    return kCalibrationOk;
}

}  // namespace kvr
