#include "sim_rig.h"

#include <algorithm>
#include <cmath>

namespace kvr::sim::test {

std::vector<uint8_t> command_block(uint8_t command, uint16_t value, uint16_t index, uint16_t length,
                                   const std::vector<uint8_t>& parameters) {
    std::vector<uint8_t> b(kCommandHeaderBytes + parameters.size(), 0);
    b[kOffsetRequestType] = command == kCmdModel ? kRequestTypeIn : kRequestTypeOut;
    b[kOffsetCommand] = command;
    put_le16(&b[kOffsetValue], value);
    put_le16(&b[kOffsetIndex], index);
    put_le16(&b[kOffsetLength], length);
    std::copy(parameters.begin(), parameters.end(), b.begin() + kOffsetParameters);
    return b;
}

std::vector<uint8_t> read_command(const ReadRequest& r, bool camera_timed) {
    std::vector<uint8_t> b(camera_timed ? kReadAfterDelayBlockBytes : kReadNowBlockBytes, 0);
    b[kOffsetRequestType] = kRequestTypeOut;
    b[kOffsetCommand] = camera_timed ? kCmdReadAfterDelay : kCmdReadNow;
    put_le16(&b[kOffsetValue], r.field);
    put_le16(&b[kOffsetIndex], r.head);
    put_le16(&b[kOffsetLength],
             camera_timed ? kReadAfterDelayParameterBytes : kReadNowParameterBytes);
    put_le16(&b[kOffsetReadX], r.x);
    put_le16(&b[kOffsetReadY], r.y);
    put_le16(&b[kOffsetReadWidth], r.width);
    put_le16(&b[kOffsetReadHeight], r.height);
    b[kOffsetReadBinX] = r.bin_x;
    b[kOffsetReadBinY] = r.bin_y;
    if (camera_timed) put_le32(&b[kOffsetReadDelay], r.delay_ms);
    return b;
}

ReadRequest field_request(uint16_t field, uint32_t delay_ms) {
    ReadRequest r;
    r.field = field;
    r.head = kHeadMain;
    r.width = kSensorColumns;
    r.height = kSensorFieldRows;
    r.delay_ms = delay_ms;
    return r;
}

ReadRequest binned_request(uint32_t delay_ms) {
    ReadRequest r = field_request(kFieldBoth, delay_ms);
    r.bin_x = 2;
    return r;
}

ReadRequest window_request(uint16_t field, uint16_t x, uint16_t y, uint32_t delay_ms) {
    ReadRequest r = field_request(field, delay_ms);
    r.x = x;
    r.y = y;
    r.width = r.height = kWindowSize;
    return r;
}

ReadRequest guider_request() {
    return guider_frame_request();
}

SimRig::SimRig(void (*adjust)(CameraConfig&)) {
    config.behaviour.download_ms_per_field = 0;
    if (adjust) adjust(config);
    sky = make_sky(clock, config);
    camera = std::make_shared<Camera>(sky, config);
}

std::vector<uint8_t> SimRig::receive(size_t n) {
    std::vector<uint8_t> data(n);
    size_t got = 0;
    EXPECT_EQ(camera->read_block(data.data(), n, got), 0);
    EXPECT_EQ(got, n);
    return data;
}

Image SimRig::read(const ReadRequest& r, bool camera_timed) {
    EXPECT_EQ(send(read_command(r, camera_timed)), 0);
    Image img;
    img.width = r.width / r.bin_x;
    img.height = r.height / r.bin_y;
    const size_t n = static_cast<size_t>(img.width) * img.height;
    const bool guider = r.head == kHeadGuider;
    const std::vector<uint8_t> bytes = receive(guider ? n : 2 * n);
    img.pixels.resize(n);
    for (size_t i = 0; i < n; ++i) img.pixels[i] = guider ? bytes[i] : get_le16(&bytes[2 * i]);
    return img;
}

Image SimRig::exposed_frame(uint32_t exposure_ms) {
    Image frame;
    frame.width = kSensorColumns;
    frame.height = 2 * kSensorFieldRows;
    frame.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
    for (uint16_t field : {kField1, kField2}) {
        clear_main();
        const Image f = read(field_request(field, exposure_ms), true);
        for (int k = 0; k < f.height; ++k) {
            std::copy_n(
                f.pixels.begin() + static_cast<ptrdiff_t>(k) * f.width, f.width,
                frame.pixels.begin() + static_cast<ptrdiff_t>(2 * k + field - 1) * frame.width);
        }
    }
    return frame;
}

void noiseless(CameraConfig& c) {
    c.behaviour.noise = false;
    c.main_sensor.vignetting = 0;
    c.main_sensor.response_spread = 0;
    c.main_sensor.dark_spread = 0;
    c.main_sensor.hot_pixel_fraction = 0;
}

void noiseless_sparse(CameraConfig& c) {
    noiseless(c);
    c.star_field.stars_per_megapixel = 0;
}

double star_sum(const Image& img, double cx, double cy, int radius, double background) {
    double sum = 0;
    const int x0 = static_cast<int>(std::lround(cx)), y0 = static_cast<int>(std::lround(cy));
    for (int y = std::max(0, y0 - radius); y <= std::min(img.height - 1, y0 + radius); ++y) {
        for (int x = std::max(0, x0 - radius); x <= std::min(img.width - 1, x0 + radius); ++x) {
            sum += img.at(x, y) - background;
        }
    }
    return sum;
}

void centroid(const Image& img, double cx, double cy, int radius, double background, double& x,
              double& y) {
    double sum = 0, sx = 0, sy = 0;
    const int x0 = static_cast<int>(std::lround(cx)), y0 = static_cast<int>(std::lround(cy));
    for (int py = std::max(0, y0 - radius); py <= std::min(img.height - 1, y0 + radius); ++py) {
        for (int px = std::max(0, x0 - radius); px <= std::min(img.width - 1, x0 + radius); ++px) {
            const double v = img.at(px, py) - background;
            sum += v;
            sx += v * px;
            sy += v * py;
        }
    }
    x = sum != 0 ? sx / sum : cx;
    y = sum != 0 ? sy / sum : cy;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    auto mid = values.begin() + static_cast<ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

}  // namespace kvr::sim::test
