#include "acquire/calibration.h"

#include <algorithm>
#include <vector>

#include "core/drive_paths.h"
#include "core/program.h"
#include "files/file_io.h"
#include "files/fits_keywords.h"
#include "files/image_file_kinds.h"
#include "files/image_files.h"
#include "imaging/arithmetic.h"

namespace kvr {

namespace {

// The longest file a calibration frame is read from: the longest FITS header read and a full
// 16-bit frame.
constexpr uint64_t kMostCalibrationBytes = kFitsProbeBytes + kNativeFullBytes;

}  // namespace

int read_calibration_frame(const Program& p, const std::string& path, uint16_t* frame) {
    const std::string host = map_drive_path(p.drive_root, path);
    uint64_t length = 0;
    int fd = -1;
    switch (open_for_reading(host, length, fd)) {
        case ReadStatus::Ok:
            break;
        case ReadStatus::NotAFile:
            return kCalibrationWrongFile;
        case ReadStatus::Missing:
        case ReadStatus::Unreadable:
            return kCalibrationOpenFailed;
    }
    const FileCloser file(fd);
    // The whole file (as much of a long one as any frame with its header can need), then the
    // loaders' own checks: a native frame by its length, a FITS image by its layout or keywords.
    std::vector<uint8_t> bytes(
        static_cast<size_t>(std::min<uint64_t>(length, kMostCalibrationBytes)));
    if (!read_at(fd, bytes.data(), bytes.size(), 0)) return kCalibrationWrongFile;
    return load_frame_bytes(bytes.data(), bytes.size(), p.readout.binned != 0, frame, frame) ==
                   FrameLoad::Loaded
               ? kCalibrationOk
               : kCalibrationWrongFile;
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
