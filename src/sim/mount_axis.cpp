#include "sim/mount_axis.h"

#include <algorithm>
#include <cmath>

namespace kvr::sim {

namespace {

double advanced(double position, double rate, int64_t from_ms, int64_t to_ms) {
    return position + rate * static_cast<double>(to_ms - from_ms) / 1000.0;
}

}  // namespace

MountAxis::MountAxis(double position, double backlash, int64_t at_ms)
    : backlash_(std::max(0.0, backlash)) {
    // The gears start in the middle of their play.
    pieces_.push_back({at_ms, position, position, 0, 0});
}

const MountAxis::Piece& MountAxis::piece_at(int64_t ms) const {
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), ms,
                               [](int64_t t, const Piece& p) { return t < p.t0; });
    return it == pieces_.begin() ? pieces_.front() : *(it - 1);
}

double MountAxis::motor_at(int64_t ms) const {
    const Piece& p = piece_at(ms);
    return advanced(p.motor, p.motor_rate, p.t0, std::max(ms, p.t0));
}

double MountAxis::optics_at(int64_t ms) const {
    const Piece& p = piece_at(ms);
    return advanced(p.optics, p.optics_rate, p.t0, std::max(ms, p.t0));
}

void MountAxis::truncate_after(int64_t ms) {
    while (pieces_.size() > 1 && pieces_.back().t0 > ms) pieces_.pop_back();
}

void MountAxis::apply(int64_t at_ms, double rate) {
    truncate_after(at_ms);
    at_ms = std::max(at_ms, pieces_.back().t0);
    const double motor = motor_at(at_ms);
    const double optics = optics_at(at_ms);
    if (pieces_.back().t0 == at_ms) pieces_.pop_back();
    if (rate == 0) {
        pieces_.push_back({at_ms, motor, optics, 0, 0});
        return;
    }
    // The play (motor − optics) lies in [−b/2, b/2]; the optics move once it reaches the side
    // the motor turns towards.
    const double side = rate > 0 ? backlash_ / 2 : -backlash_ / 2;
    const double slack = std::fabs(side - (motor - optics));
    if (slack < 1e-9) {
        pieces_.push_back({at_ms, motor, optics, rate, rate});
        return;
    }
    pieces_.push_back({at_ms, motor, optics, rate, 0});
    const auto engage_ms = at_ms + static_cast<int64_t>(std::ceil(slack / std::fabs(rate) * 1000));
    const double engaged_motor = advanced(motor, rate, at_ms, engage_ms);
    pieces_.push_back({engage_ms, engaged_motor, engaged_motor - side, rate, rate});
}

void MountAxis::plan(const RateStep* steps, size_t count) {
    for (size_t i = 0; i < count; ++i) apply(steps[i].at_ms, steps[i].rate);
}

void MountAxis::forget_before(int64_t ms) {
    while (pieces_.size() > 1 && pieces_[1].t0 <= ms) pieces_.pop_front();
}

}  // namespace kvr::sim
