#include "sim/filter_wheel.h"

#include <algorithm>
#include <cmath>

namespace kvr::sim {

namespace {

constexpr uint8_t kHeader = 0xA5;
constexpr uint8_t kMoveCommand = 0x01;
constexpr size_t kCommandBytes = 4;
constexpr int64_t kHistoryMs = 4 * 3600 * 1000;

}  // namespace

FilterWheel::FilterWheel(const FilterWheelConfig& config, int64_t at_ms)
    : config_(config), slot_(std::clamp(config.start_slot, 1, kSlots)), arrival_ms_(at_ms) {
    pieces_.push_back({at_ms, config_.transmission[slot_ - 1]});
}

void FilterWheel::receive(const uint8_t* bytes, size_t count, int64_t at_ms, std::string&) {
    std::lock_guard lock(mutex_);
    pending_.append(reinterpret_cast<const char*>(bytes), count);
    while (!pending_.empty()) {
        if (static_cast<uint8_t>(pending_[0]) != kHeader) {
            pending_.erase(0, 1);
            continue;
        }
        if (pending_.size() < kCommandBytes) return;
        const auto b = [&](size_t i) { return static_cast<uint8_t>(pending_[i]); };
        const auto sum = static_cast<uint8_t>(b(0) + b(1) + b(2));
        if (b(1) != kMoveCommand || b(3) != sum || b(2) < 1 || b(2) > kSlots) {
            pending_.erase(0, 1);
            continue;
        }
        turn_to(b(2), at_ms);
        pending_.erase(0, kCommandBytes);
    }
}

void FilterWheel::turn_to(int target, int64_t at_ms) {
    // A command during a turn is taken up when the turn ends.
    const int64_t start = std::max(at_ms, arrival_ms_);
    const int slots = (target - slot_ + kSlots) % kSlots;
    if (slots == 0) return;
    arrival_ms_ = start + static_cast<int64_t>(std::llround(slots * config_.ms_per_slot));
    slot_ = target;
    while (!pieces_.empty() && pieces_.back().t0 >= start) pieces_.pop_back();
    pieces_.push_back({start, 0.0});
    pieces_.push_back({arrival_ms_, config_.transmission[slot_ - 1]});
    auto keep = std::upper_bound(pieces_.begin(), pieces_.end(), at_ms - kHistoryMs,
                                 [](int64_t t, const Piece& p) { return t < p.t0; });
    if (keep - pieces_.begin() > 1) pieces_.erase(pieces_.begin(), keep - 1);
}

int FilterWheel::slot() {
    std::lock_guard lock(mutex_);
    return slot_;
}

int64_t FilterWheel::arrival_ms() {
    std::lock_guard lock(mutex_);
    return arrival_ms_;
}

double FilterWheel::transmission(int64_t start_ms, int64_t end_ms) {
    std::lock_guard lock(mutex_);
    auto first = std::upper_bound(pieces_.begin(), pieces_.end(), start_ms,
                                  [](int64_t t, const Piece& p) { return t < p.t0; });
    if (first != pieces_.begin()) --first;
    if (end_ms <= start_ms) return first->share;
    double light = 0;
    for (auto it = first; it != pieces_.end() && it->t0 < end_ms; ++it) {
        const int64_t from = std::max(start_ms, it->t0);
        const int64_t to = (it + 1 == pieces_.end()) ? end_ms : std::min(end_ms, (it + 1)->t0);
        if (to > from) light += it->share * static_cast<double>(to - from);
    }
    return light / static_cast<double>(end_ms - start_ms);
}

}  // namespace kvr::sim
