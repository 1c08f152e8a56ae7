#include "sim/atmosphere.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "camera/camera_protocol.h"
#include "sim/random.h"

namespace kvr::sim {

namespace {

// Random streams of the air, apart from those of the star field and the camera.
constexpr uint64_t kStreamSharedX = 50;
constexpr uint64_t kStreamSharedY = 51;
constexpr uint64_t kStreamOwn = 52;  // + 2·view (x), + 2·view + 1 (y)
constexpr uint64_t kStreamSeeing = 60;
constexpr uint64_t kStreamCloud = 61;
constexpr uint64_t kStreamTwinkle = 62;
constexpr uint64_t kStreamRays = 63;
// Seeing wanders on this time scale.
constexpr double kSeeingStepMs = 8000;
// Scintillation is set for a one-second read; shorter ones twinkle more, down to this length.
constexpr double kShortestTwinkleMs = 20;
// Cosmic rays are drawn per slot of this length; a sky pixel is one column pitch square.
constexpr int64_t kRaySlotMs = 60000;
constexpr double kSkyPixelAreaCm2 = kColumnPitchUm * 1e-4 * kColumnPitchUm * 1e-4;
constexpr size_t kMostRaysPerSlot = 64;

// A deterministic draw for one key.
uint64_t hash(uint64_t seed, uint64_t stream, uint64_t key) {
    uint64_t s = seed * 0x9E3779B97F4A7C15ull ^ stream * 0xD1B54A32D192ED03ull ^ key;
    return splitmix64(s);
}

double uniform_of(uint64_t bits) {
    return static_cast<double>(bits >> 11) * 0x1.0p-53;
}

double normal_of(uint64_t bits) {
    const double u = uniform_of(bits);
    return inverse_normal_cdf(std::clamp(u, 1e-12, 1 - 1e-12));
}

}  // namespace

double ValueNoise::node(int64_t k) const {
    return normal_of(hash(seed_, stream_, static_cast<uint64_t>(k)));
}

double ValueNoise::at(double ms) const {
    const double u = ms / step_ms_;
    const double k = std::floor(u);
    const double f = u - k;
    const auto i = static_cast<int64_t>(k);
    return node(i) * (1 - f) + node(i + 1) * f;
}

double ValueNoise::mean(double start_ms, double end_ms) const {
    if (end_ms <= start_ms) return at(start_ms);
    // Linear within each cell: the cell's share is its length times the value at its middle.
    double sum = 0;
    double a = start_ms;
    while (a < end_ms) {
        const double cell_end = (std::floor(a / step_ms_) + 1) * step_ms_;
        const double b = std::min(end_ms, cell_end);
        sum += (b - a) * at((a + b) / 2);
        a = b;
    }
    return sum / (end_ms - start_ms);
}

Atmosphere::Atmosphere(const AtmosphereConfig& config, uint32_t seed,
                       double plate_scale_arcsec_per_px)
    : config_(config),
      seed_(seed),
      shared_x_(seed, kStreamSharedX, config.motion_correlation_s * 1000),
      shared_y_(seed, kStreamSharedY, config.motion_correlation_s * 1000),
      own_x_{{seed, kStreamOwn, config.motion_correlation_s * 1000},
             {seed, kStreamOwn + 2, config.motion_correlation_s * 1000}},
      own_y_{{seed, kStreamOwn + 1, config.motion_correlation_s * 1000},
             {seed, kStreamOwn + 3, config.motion_correlation_s * 1000}},
      seeing_(seed, kStreamSeeing, kSeeingStepMs) {
    // Scale the motion so that one-second averages have the configured rms (measured once).
    double squares = 0;
    constexpr int kWindows = 400;
    for (int i = 0; i < kWindows; ++i) {
        const double v = shared_x_.mean(i * 1000.0, i * 1000.0 + 1000);
        squares += v * v;
    }
    const double rms = std::sqrt(squares / kWindows);
    motion_scale_px_ = rms > 0 ? config_.motion_rms_arcsec_1s / rms / plate_scale_arcsec_per_px : 0;
}

void Atmosphere::motion(int view, int64_t start_ms, int64_t end_ms, double& x, double& y) const {
    x = y = 0;
    if (!config_.enabled || view < 0 || view >= kViews) return;
    const double shared = std::sqrt(std::clamp(config_.motion_shared_fraction, 0.0, 1.0));
    const double own = std::sqrt(1 - shared * shared);
    const auto a = static_cast<double>(start_ms), b = static_cast<double>(end_ms);
    x = motion_scale_px_ * (shared * shared_x_.mean(a, b) + own * own_x_[view].mean(a, b));
    y = motion_scale_px_ * (shared * shared_y_.mean(a, b) + own * own_y_[view].mean(a, b));
}

double Atmosphere::seeing_factor(int64_t start_ms, int64_t end_ms) const {
    if (!config_.enabled) return 1;
    const double v = seeing_.mean(static_cast<double>(start_ms), static_cast<double>(end_ms));
    return std::max(0.5, 1 + config_.seeing_variation * v);
}

double Atmosphere::cloud_transmission(int64_t start_ms, int64_t end_ms) const {
    if (!config_.enabled || config_.cloud_depth <= 0) return 1;
    const double interval = config_.cloud_interval_min * 60000;
    const double half = config_.cloud_duration_s * 500;
    // One cloud per interval, somewhere in it, of its own thickness: a raised cosine in time.
    auto cover = [&](double t) {
        const auto slot = static_cast<int64_t>(std::floor(t / interval));
        double c = 0;
        for (int64_t k = slot - 1; k <= slot + 1; ++k) {
            uint64_t state = hash(seed_, kStreamCloud, static_cast<uint64_t>(k));
            const double centre = (k + uniform_of(splitmix64(state))) * interval;
            const double depth = config_.cloud_depth * (0.5 + 0.5 * uniform_of(splitmix64(state)));
            const double d = std::fabs(t - centre);
            if (d < half) c += depth * 0.5 * (1 + std::cos(std::numbers::pi * d / half));
        }
        return std::clamp(1 - c, 0.0, 1.0);
    };
    const double span = static_cast<double>(end_ms - start_ms);
    const int samples = std::clamp(static_cast<int>(span / 5000), 8, 512);
    double sum = 0;
    for (int i = 0; i < samples; ++i) sum += cover(start_ms + span * (i + 0.5) / samples);
    return sum / samples;
}

double Atmosphere::twinkle(int view, size_t star, int64_t start_ms, int64_t end_ms) const {
    if (!config_.enabled || config_.scintillation_1s <= 0) return 1;
    const double ms = std::max(kShortestTwinkleMs, static_cast<double>(end_ms - start_ms));
    const uint64_t key = (static_cast<uint64_t>(start_ms) << 20) ^ (star << 1) ^ view;
    const double v = config_.scintillation_1s * std::sqrt(1000 / ms) *
                     normal_of(hash(seed_, kStreamTwinkle, key));
    return std::max(0.0, 1 + v);
}

double Atmosphere::sky_gradient(double x, double width) const {
    if (!config_.enabled || width <= 0) return 1;
    return 1 + config_.sky_gradient * (x / width - 0.5);
}

size_t Atmosphere::cosmic_rays(int view, int columns, int rows, double pixel_area, int64_t start_ms,
                               int64_t end_ms, CosmicRay* out, size_t capacity) const {
    if (!config_.enabled || end_ms <= start_ms || columns <= 0 || rows <= 0) return 0;
    const double area_cm2 = columns * rows * pixel_area * kSkyPixelAreaCm2;
    const double per_slot = config_.cosmic_rays_per_cm2_min * area_cm2 * kRaySlotMs / 60000.0;
    size_t n = 0;
    for (int64_t slot = start_ms / kRaySlotMs; slot * kRaySlotMs < end_ms; ++slot) {
        Rng rng(hash(seed_, kStreamRays, static_cast<uint64_t>(slot) * 2 + view), 0);
        // Poisson count by multiplying uniforms.
        size_t hits = 0;
        for (double p = rng.uniform(); p > std::exp(-per_slot) && hits < kMostRaysPerSlot;
             p *= rng.uniform()) {
            ++hits;
        }
        for (size_t h = 0; h < hits; ++h) {
            const auto t = slot * kRaySlotMs + static_cast<int64_t>(rng.uniform() * kRaySlotMs);
            CosmicRay ray;
            ray.column = static_cast<int>(rng.uniform() * columns);
            ray.row = static_cast<int>(rng.uniform() * rows);
            ray.charge = config_.cosmic_ray_adu * (0.3 + 1.2 * rng.uniform());
            if (t >= start_ms && t < end_ms && n < capacity) out[n++] = ray;
        }
    }
    return n;
}

}  // namespace kvr::sim
