#pragma once
// A whole simulated observatory on a virtual clock, driven through the camera's command blocks
// as the program drives it: serial writes and reads on the camera's ports, relay commands.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "sim/observatory.h"
#include "sim_rig.h"

namespace kvr::sim::test {

// 2026-12-07T22:00:00Z
inline constexpr std::time_t kEvening = 1796680800;

// Download time zero, atmosphere off unless `adjust` turns it on.
struct ObservatoryRig {
    explicit ObservatoryRig(void (*adjust)(ObservatoryConfig&) = nullptr) : clock(kEvening) {
        config.camera.behaviour.download_ms_per_field = 0;
        config.atmosphere.enabled = false;
        if (adjust) adjust(config);
        observatory = std::make_unique<Observatory>(clock, config);
    }
    Camera& camera() { return *observatory->camera(); }
    int64_t now() { return observatory->sky().now_ms(); }
    // A camera serial write of `text` to port index 0, as the program's write_serial sends it.
    void write(const std::string& text, uint16_t port = 0) {
        std::vector<uint8_t> bytes(text.begin(), text.end());
        auto block =
            command_block(kCmdSerialWrite, 0, port, static_cast<uint16_t>(bytes.size()), bytes);
        ASSERT_EQ(camera().write_block(block.data(), block.size()), 0);
    }
    std::string read(size_t count, uint16_t port = 0) {
        auto block = command_block(kCmdSerialRead, 0, port, static_cast<uint16_t>(count));
        EXPECT_EQ(camera().write_block(block.data(), block.size()), 0);
        std::string reply(count, '\0');
        size_t got = 0;
        EXPECT_EQ(camera().read_block(reinterpret_cast<uint8_t*>(reply.data()), count, got), 0);
        return reply;
    }
    void relays(uint16_t mask) {
        auto block = command_block(kCmdSetRelays, mask, 0, 0);
        ASSERT_EQ(camera().write_block(block.data(), block.size()), 0);
    }

    VirtualClock clock;
    ObservatoryConfig config;
    std::unique_ptr<Observatory> observatory;
};

// No periodic error or drift: moves are exactly rate × time.
inline void exact_mount(ObservatoryConfig& c) {
    c.mount.periodic_error_pp_arcsec = 0;
    c.mount.drift_dec_arcsec_per_min = 0;
    c.mount.drift_ra_arcsec_per_min = 0;
}

// Mean shift of the stars found on both lists (matched by flux), sensor pixels.
inline void mean_shift(const std::vector<SensorStar>& before, const std::vector<SensorStar>& after,
                       double& dx, double& dy) {
    double sx = 0, sy = 0;
    int n = 0;
    for (const SensorStar& a : before) {
        for (const SensorStar& b : after) {
            if (a.flux_adu_per_s == b.flux_adu_per_s && std::hypot(b.x - a.x, b.y - a.y) < 30) {
                sx += b.x - a.x;
                sy += b.y - a.y;
                ++n;
            }
        }
    }
    ASSERT_GT(n, 10);
    dx = sx / n;
    dy = sy / n;
}

}  // namespace kvr::sim::test
