#pragma once
// One axis of the simulated mount as a history of straight pieces: where its motor (what the
// encoder reports) and its optics stood at each change and how fast each moved. The optics
// follow the motor through a play: after a reversal the motor turns through the backlash
// before the optics move. The history is kept for a while because an exposure asks where the
// optics were during its whole interval, after the interval is over.
//
// Positions are arcseconds of axis turn, rates arcseconds per second, times milliseconds of
// the simulator's timeline.
#include <cstddef>
#include <cstdint>
#include <deque>

namespace kvr::sim {

class MountAxis {
  public:
    // A planned change: from `at_ms` on the motor turns at `rate`.
    struct RateStep {
        int64_t at_ms = 0;
        double rate = 0;
    };

    MountAxis(double position, double backlash, int64_t at_ms);

    // Replaces whatever was planned after the first step's moment by `steps` (in time order).
    void plan(const RateStep* steps, size_t count);
    double motor_at(int64_t ms) const;
    double optics_at(int64_t ms) const;
    // Forgets pieces that ended before `ms`.
    void forget_before(int64_t ms);

  private:
    struct Piece {
        int64_t t0 = 0;
        double motor = 0;
        double optics = 0;
        double motor_rate = 0;
        double optics_rate = 0;
    };
    const Piece& piece_at(int64_t ms) const;
    void truncate_after(int64_t ms);
    void apply(int64_t at_ms, double rate);

    double backlash_;
    std::deque<Piece> pieces_;
};

}  // namespace kvr::sim
