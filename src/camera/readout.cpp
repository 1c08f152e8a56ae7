// Main-camera reads and their assembly into the image.
#include "camera/readout.h"

#include <algorithm>
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

// One full-width field into `ReportBuffer`; the first one of an exposure above 500 ms measures
// `download_time`.
bool receive_field(Program& p) {
    Readout& r = p.readout;
    const bool camera_timed = r.exposure < kCameraTimedBelow;
    const ReadRequest request = full_width_field(r.ccd_frame, r.exposure);
    if (!send_read_command(p, request, camera_timed)) return false;
    const bool measure =
        r.download_time == kDownloadTimeUnmeasured && r.exposure > kDownloadMeasuredAbove;
    const uint32_t start_ms = p.clock.ms();
    if (!receive_reply(p, kFieldReplyBytes)) return false;
    // A failed read is not a download: the measurement waits for one that arrived. A
    // camera-timed read spends the delay it sent (its low 16 bits) on the camera before the
    // transfer starts, and only the transfer counts.
    if (measure) {
        int transfer_ms = static_cast<int>(p.clock.ms() - start_ms);
        if (camera_timed) transfer_ms -= static_cast<uint16_t>(request.delay_ms);
        r.download_time = std::max(transfer_ms, 0);
    }
    return true;
}

// Field row k becomes frame row 2k + line; rows of the other parity keep their contents.
void place_field(Program& p, const uint8_t* field, size_t line) {
    uint8_t* dst = p.ptr.charimageptr + line * kFieldRowBytes;
    for (int k = 0; k < kSensorFieldRows; ++k) {
        std::memcpy(dst, field, kFieldRowBytes);
        field += kFieldRowBytes;
        dst += 2 * kFieldRowBytes;
    }
}

// Where a held first field waits: the reply buffer holds two fields.
uint8_t* held_field(Program& p) {
    static_assert(2 * kFieldReplyBytes <= kReportBufferBytes);
    return p.buf->ReportBuffer + kFieldReplyBytes;
}

}  // namespace

bool first_read(Program& p) {
    if (!receive_field(p)) return false;
    place_field(p, p.buf->ReportBuffer, p.readout.interlaced_line != 0 ? 1 : 0);
    return true;
}

bool hold_first_field(Program& p) {
    if (!receive_field(p)) return false;
    std::memcpy(held_field(p), p.buf->ReportBuffer, kFieldReplyBytes);
    return true;
}

bool second_field(Program& p) {
    if (!receive_field(p)) return false;
    place_field(p, held_field(p), 0);
    place_field(p, p.buf->ReportBuffer, 1);
    return true;
}

bool binned_read(Program& p) {
    Readout& r = p.readout;
    ReadRequest q = full_width_field(kFieldBoth, r.exposure);
    q.bin_x = 2;
    if (!send_read_command(p, q, r.exposure < kBinnedCameraTimedBelow) ||
        !receive_reply(p, kBinnedReplyBytes))
        return false;
    std::memcpy(p.ptr.charimageptr, p.buf->ReportBuffer, kBinnedReplyBytes);
    return true;
}

bool focus_read(Program& p) {
    return read_window(p, p.readout.exposure);
}

bool guide_read(Program& p) {
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
