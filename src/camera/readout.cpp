// Main-camera reads and their assembly into the image.
#include "camera/readout.h"

#include <bit>
#include <cstring>

#include "camera/camera_protocol.h"
#include "camera/command_blocks.h"
#include "core/program.h"

namespace kvr {

// Pixel blocks arrive low byte first and are copied into the 16-bit buffers as they are.
static_assert(std::endian::native == std::endian::little);

namespace {

// Main-camera reads of exposures below these are timed by the camera (command 2).
constexpr int kCameraTimedBelow = 1001;
constexpr int kBinnedCameraTimedBelow = 1000;
// `download_time` before its one measurement, and the exposure above which a read measures it.
constexpr int kDownloadTimeUnmeasured = 3000;
constexpr int kDownloadMeasuredAbove = 500;
constexpr size_t kFieldRowBytes = 2u * kSensorColumns;  // 1504

ReadRequest full_width_field(uint16_t field, int delay_ms) {
    ReadRequest r;
    r.field = field;
    r.head = kHeadMain;
    r.width = kSensorColumns;
    r.height = kSensorFieldRows;
    r.delay_ms = static_cast<uint32_t>(delay_ms);
    return r;
}

// The 128 × 128 window at (`focus_x`, `focus_y`) of field `ccd_frame`; camera-timed with
// `delay_ms` when `exposure` is short, and then the delay's bytes go to `highval` / `lowval`.
bool read_window(Program& p, int delay_ms) {
    Readout& r = p.readout;
    ReadRequest q;
    q.field = r.ccd_frame;
    q.head = kHeadMain;
    q.x = static_cast<uint16_t>(r.focus_x);
    q.y = static_cast<uint16_t>(r.focus_y);
    q.width = kWindowSize;
    q.height = kWindowSize;
    q.delay_ms = static_cast<uint32_t>(delay_ms);
    const bool camera_timed = r.exposure < kCameraTimedBelow;
    if (camera_timed) {
        r.highval = static_cast<unsigned char>(q.delay_ms >> 8);
        r.lowval = static_cast<unsigned char>(q.delay_ms);
    }
    if (!send_read_command(p, q, camera_timed) || !receive_reply(p, kWindowReplyBytes))
        return false;
    std::memcpy(p.ptr.charimageptr, p.buf->ReportBuffer, kWindowReplyBytes);
    return true;
}

}  // namespace

bool KV_first_read(Program& p) {
    Readout& r = p.readout;
    const bool camera_timed = r.exposure < kCameraTimedBelow;
    if (!send_read_command(p, full_width_field(r.ccd_frame, r.exposure), camera_timed))
        return false;
    const bool measure =
        r.download_time == kDownloadTimeUnmeasured && r.exposure > kDownloadMeasuredAbove;
    const uint32_t start_ms = p.clock.ms();
    if (!receive_reply(p, kFieldReplyBytes)) return false;
    // A failed read is not a download: the measurement waits for one that arrived.
    if (measure) r.download_time = static_cast<int>(p.clock.ms() - start_ms);

    // Field row k becomes frame row 2k + line; rows of the other parity keep their contents.
    const size_t line = r.interlaced_line != 0 ? 1 : 0;
    const uint8_t* src = p.buf->ReportBuffer;
    uint8_t* dst = p.ptr.charimageptr + line * kFieldRowBytes;
    for (int k = 0; k < kSensorFieldRows; ++k) {
        std::memcpy(dst, src, kFieldRowBytes);
        src += kFieldRowBytes;
        dst += 2 * kFieldRowBytes;
    }
    return true;
}

bool KV_binned_read(Program& p) {
    Readout& r = p.readout;
    ReadRequest q = full_width_field(kFieldBoth, r.exposure);
    q.bin_x = 2;
    if (!send_read_command(p, q, r.exposure < kBinnedCameraTimedBelow) ||
        !receive_reply(p, kBinnedReplyBytes))
        return false;
    std::memcpy(p.ptr.charimageptr, p.buf->ReportBuffer, kBinnedReplyBytes);
    return true;
}

bool KV_focus_read(Program& p) {
    return read_window(p, p.readout.exposure);
}

bool KV_guide_read(Program& p) {
    return read_window(p, p.readout.selfguiding_exposure);
}

void fill_binned(uint16_t* image) {
    for (int y = 1; y < kFullHeight - 1; y += 2) {
        const uint16_t* above = image + (y - 1) * kFullWidth;
        const uint16_t* below = above + 2 * kFullWidth;
        uint16_t* row = image + y * kFullWidth;
        for (int x = 0; x < kFullWidth; ++x) {
            // (a + b) / 2 without widening, so the loop vectorises on 16-bit lanes.
            const uint16_t a = above[x];
            const uint16_t b = below[x];
            row[x] = static_cast<uint16_t>((a & b) + ((a ^ b) >> 1));
        }
    }
}

}  // namespace kvr
