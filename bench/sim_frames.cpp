#include "sim_frames.h"

#include <array>
#include <cstring>
#include <random>

#include "camera/camera_protocol.h"
#include "core/clock.h"
#include "core/image_store.h"
#include "sim/camera.h"

namespace kvr::bench {
namespace {

struct Exposure {
    uint32_t ms;
    double sky_adu_per_s;
    double throughput;  // 0: shutter closed
};

// Night sky for the star fields; a bright, even sky for the flat (≈ 30000 counts, the few
// planted stars saturate as they would in a twilight flat) and for the saturated frame (every
// pixel at the converter's clip).
Exposure exposure_of(FrameContent c) {
    switch (c) {
        case FrameContent::Stars1s:
            return {1000, 12.0, 1.0};
        case FrameContent::Stars10s:
            return {10000, 12.0, 1.0};
        case FrameContent::Stars100s:
            return {100000, 12.0, 1.0};
        case FrameContent::Flat:
            return {6000, 5000.0, 1.0};
        case FrameContent::Dark:
            return {100000, 12.0, 0.0};
        case FrameContent::Saturated:
        case FrameContent::Random:
            break;
    }
    return {30000, 5000.0, 1.0};
}

std::vector<uint8_t> timed_read(uint16_t field, uint8_t bin_x, uint32_t delay_ms) {
    std::vector<uint8_t> b(kReadAfterDelayBlockBytes, 0);
    b[kOffsetRequestType] = kRequestTypeOut;
    b[kOffsetCommand] = kCmdReadAfterDelay;
    put_le16(&b[kOffsetValue], field);
    put_le16(&b[kOffsetIndex], kHeadMain);
    put_le16(&b[kOffsetLength], kReadAfterDelayParameterBytes);
    put_le16(&b[kOffsetReadWidth], kSensorColumns);
    put_le16(&b[kOffsetReadHeight], kSensorFieldRows);
    b[kOffsetReadBinX] = bin_x;
    b[kOffsetReadBinY] = 1;
    put_le32(&b[kOffsetReadDelay], delay_ms);
    return b;
}

// One read's reply as 16-bit pixels, its rows placed every `row_step` rows of `frame` from
// `first_row`.
void read_into(sim::Camera& camera, const std::vector<uint8_t>& command, size_t reply_bytes,
               int width, int first_row, int row_step, std::vector<uint16_t>& frame) {
    std::vector<uint8_t> reply(reply_bytes);
    size_t received = 0;
    camera.write_block(command.data(), command.size());
    camera.read_block(reply.data(), reply.size(), received);
    for (int r = 0; r < kSensorFieldRows; ++r)
        for (int x = 0; x < width; ++x) {
            const uint8_t* s = &reply[2 * (size_t(r) * width + x)];
            frame[size_t(first_row + r * row_step) * width + x] = uint16_t(s[0] | s[1] << 8);
        }
}

std::vector<uint16_t> render(FrameSize size, FrameContent content) {
    const bool binned = size == FrameSize::Binned;
    const int width = binned ? kBinnedWidth : kFullWidth;
    const int height = binned ? kBinnedHeight : kFullHeight;
    std::vector<uint16_t> frame(size_t(width) * height);
    if (content == FrameContent::Random) {
        std::mt19937 rng(12345);
        for (uint16_t& v : frame) v = static_cast<uint16_t>(rng());
        return frame;
    }
    Exposure e = exposure_of(content);
    // A binned pixel sums four photosites: the binned flat takes a quarter of the time, so it
    // too lies near 30000 counts instead of at the clip (a flat at the clip flattens nothing).
    if (binned && content == FrameContent::Flat) e.ms /= 4;
    VirtualClock clock;
    sim::CameraConfig config;
    config.behaviour.download_ms_per_field = 0;
    config.behaviour.filter_throughput = e.throughput;
    config.conditions.sky_adu_per_s = e.sky_adu_per_s;
    sim::Camera camera(sim::make_sky(clock, config), config);
    if (binned) {
        read_into(camera, timed_read(kFieldBoth, 2, e.ms), kBinnedReplyBytes, width, 0, 1, frame);
    } else {
        read_into(camera, timed_read(kField1, 1, e.ms), kFieldReplyBytes, width, 0, 2, frame);
        read_into(camera, timed_read(kField2, 1, e.ms), kFieldReplyBytes, width, 1, 2, frame);
    }
    return frame;
}

}  // namespace

std::vector<int64_t> all_frame_contents() {
    std::vector<int64_t> out;
    for (int c = 0; c < kFrameContents; ++c) out.push_back(c);
    return out;
}

const std::vector<uint16_t>& sim_frame(FrameSize size, FrameContent content) {
    static std::array<std::vector<uint16_t>, 2 * kFrameContents> frames;
    std::vector<uint16_t>& f = frames[int(size) * kFrameContents + int(content)];
    if (f.empty()) f = render(size, content);
    return f;
}

}  // namespace kvr::bench
