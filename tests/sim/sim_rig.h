#pragma once
// A simulated camera on a virtual clock, driven with command blocks built as the program builds
// them, and small image measurements for the physics tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "camera/camera_protocol.h"
#include "core/clock.h"
#include "sim/camera.h"

namespace kvr::sim::test {

// Sky pixels are one column (8.6 µm) wide and as tall; a main-sensor row is 8.3 µm tall and a
// guider row 16.6 µm: rows of either head per sky pixel.
constexpr double kMainRowsPerSkyPx = 8.6 / 8.3;
constexpr double kGuiderRowsPerSkyPx = 8.6 / 16.6;

// A command block of `8 + parameters.size()` bytes.
std::vector<uint8_t> command_block(uint8_t command, uint16_t value, uint16_t index, uint16_t length,
                                   const std::vector<uint8_t>& parameters = {});
// A read command: command 2 (22 bytes) when `camera_timed`, else command 3 (18 bytes).
std::vector<uint8_t> read_command(const ReadRequest& r, bool camera_timed);

ReadRequest field_request(uint16_t field, uint32_t delay_ms = 0);
ReadRequest binned_request(uint32_t delay_ms = 0);
ReadRequest window_request(uint16_t field, uint16_t x, uint16_t y, uint32_t delay_ms = 0);
ReadRequest guider_request();

// A 16-bit image and its size, pixel (x, y) at y × width + x.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<double> pixels;
    double at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class SimRig {
  public:
    // Download time zero; `adjust` may change the configuration before the camera is built.
    explicit SimRig(void (*adjust)(CameraConfig&) = nullptr);

    int send(const std::vector<uint8_t>& block) {
        return camera->write_block(block.data(), block.size());
    }
    // Reads exactly `n` bytes of reply; fails the test otherwise.
    std::vector<uint8_t> receive(size_t n);
    // One read command and its whole reply, decoded (16-bit samples on the main head, 8-bit on
    // the guider).
    Image read(const ReadRequest& r, bool camera_timed);
    void clear_main() { send(command_block(kCmdClear, kClearWholeSensor, kHeadMain, 0)); }
    void clear_guider() { send(command_block(kCmdClear, kClearWholeSensor, kHeadGuider, 0)); }
    // A 752 × 580 frame whose two fields each collected light for `exposure_ms` after a clear
    // (camera-timed reads), interleaved: field 1 in the even rows.
    Image exposed_frame(uint32_t exposure_ms);
    // Moves the virtual clock on.
    void wait(uint32_t ms) { clock.advance(ms); }

    VirtualClock clock;
    CameraConfig config;
    std::shared_ptr<Sky> sky;
    // Shared, so that the helpers can also drive the camera of a whole observatory.
    std::shared_ptr<Camera> camera;
};

// A quiet configuration for exact comparisons: no noise, no vignetting, no pixel-to-pixel
// sensitivity or dark spread, no hot pixels.
void noiseless(CameraConfig& c);
// As noiseless, with only the planted stars on the sky.
void noiseless_sparse(CameraConfig& c);

// Sum of (pixel − background) over the square of half-width `radius` around (cx, cy), pixel
// centres at integer coordinates.
double star_sum(const Image& img, double cx, double cy, int radius, double background);
// Intensity-weighted centre of the same square (pixel centres at integer coordinates).
void centroid(const Image& img, double cx, double cy, int radius, double background, double& x,
              double& y);
double median(std::vector<double> values);

}  // namespace kvr::sim::test
