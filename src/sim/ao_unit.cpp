#include "sim/ao_unit.h"

#include <algorithm>
#include <cstdio>

#include "sim/mount.h"
#include "sim/sim_log.h"

namespace kvr::sim {

namespace {

constexpr size_t kCommandChars = 7;
// Pieces older than this are forgotten (no exposure reaches further back).
constexpr int64_t kHistoryMs = 4 * 3600 * 1000;
constexpr uint16_t kAllLines = 15;

}  // namespace

AoUnit::AoUnit(const AoConfig& config, Mount& mount, std::shared_ptr<SimLog> log, int64_t at_ms)
    : config_(config), mount_(mount), log_(std::move(log)) {
    pieces_.push_back({at_ms, {}, {}});
}

AoOffset AoUnit::position(const Piece& p, int64_t ms) const {
    const double s = static_cast<double>(std::max<int64_t>(0, ms - p.t0)) / 1000.0;
    const double travel = config_.travel_steps;
    return {std::clamp(p.at.ns + p.rate.ns * s, -travel, travel),
            std::clamp(p.at.ew + p.rate.ew * s, -travel, travel)};
}

AoOffset AoUnit::offset_at(int64_t ms) {
    std::lock_guard lock(mutex_);
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), ms,
                               [](int64_t t, const Piece& p) { return t < p.t0; });
    return position(it == pieces_.begin() ? pieces_.front() : *(it - 1), ms);
}

void AoUnit::set_motion(int64_t at_ms, AoOffset target, AoOffset rate) {
    at_ms = std::max(at_ms, pieces_.back().t0);
    const double travel = config_.travel_steps;
    target.ns = std::clamp(target.ns, -travel, travel);
    target.ew = std::clamp(target.ew, -travel, travel);
    if (pieces_.back().t0 == at_ms) pieces_.pop_back();
    pieces_.push_back({at_ms, target, rate});
    if (log_) {
        const double step = config_.step_arcsec;
        log_->tilt(at_ms, target.ew * step, target.ns * step, rate.ew * step, rate.ns * step,
                   travel * step);
    }
    const int64_t horizon = at_ms - kHistoryMs;
    auto keep = std::upper_bound(pieces_.begin(), pieces_.end(), horizon,
                                 [](int64_t t, const Piece& p) { return t < p.t0; });
    if (keep - pieces_.begin() > 1) pieces_.erase(pieces_.begin(), keep - 1);
}

void AoUnit::receive(const uint8_t* bytes, size_t count, int64_t at_ms, std::string&) {
    std::lock_guard lock(mutex_);
    pending_.append(reinterpret_cast<const char*>(bytes), count);
    run(at_ms);
}

void AoUnit::run(int64_t at_ms) {
    while (!pending_.empty()) {
        const char c = pending_[0];
        if (c == 'K') {
            set_motion(at_ms, {}, {});
            pending_.erase(0, 1);
            continue;
        }
        if (c != 'G' && c != 'M') {
            pending_.erase(0, 1);
            continue;
        }
        if (pending_.size() < kCommandChars) return;
        const char dir = pending_[1];
        bool digits = true;
        int count = 0;
        for (size_t i = 2; i < kCommandChars; ++i) {
            const char d = pending_[i];
            digits = digits && d >= '0' && d <= '9';
            count = count * 10 + (d - '0');
        }
        const bool known = dir == 'N' || dir == 'S' || dir == 'T' || dir == 'W';
        if (!digits || !known) {
            pending_.erase(0, 1);
            continue;
        }
        pending_.erase(0, kCommandChars);
        if (c == 'G') {
            AoOffset now = position(pieces_.back(), at_ms);
            if (dir == 'N') now.ns += count;
            if (dir == 'S') now.ns -= count;
            if (dir == 'T') now.ew += count;
            if (dir == 'W') now.ew -= count;
            set_motion(at_ms, now, {});
        } else {
            const Direction d = dir == 'N'   ? Direction::kNorth
                                : dir == 'S' ? Direction::kSouth
                                : dir == 'T' ? Direction::kEast
                                             : Direction::kWest;
            const auto duration = static_cast<int64_t>(count * mount_.config().bump_ms_per_count);
            if (log_) {
                char text[32];
                std::snprintf(text, sizeof text, "%c %lld ms", dir,
                              static_cast<long long>(duration));
                log_->event(at_ms, "ao", "bump", text);
            }
            mount_.bump(d, duration, at_ms);
        }
    }
}

void AoUnit::parallel_lines(uint16_t bits, int64_t at_ms) {
    std::lock_guard lock(mutex_);
    const uint16_t low = ~bits & kAllLines;
    if (low == kAllLines) {
        set_motion(at_ms, {}, {});
        return;
    }
    const double v = config_.parallel_steps_per_s;
    AoOffset rate;
    if (low & 1) rate.ew -= v;
    if (low & 2) rate.ns -= v;
    if (low & 4) rate.ns += v;
    if (low & 8) rate.ew += v;
    set_motion(at_ms, position(pieces_.back(), at_ms), rate);
}

}  // namespace kvr::sim
