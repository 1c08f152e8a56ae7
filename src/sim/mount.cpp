#include "sim/mount.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "sim/angles.h"
#include "sim/random.h"
#include "sim/sim_log.h"

namespace kvr::sim {

namespace {

// An exposure never asks further back than this.
constexpr int64_t kHistoryMs = 4 * 3600 * 1000;
// The pointing error goes to the log once per second.
constexpr int64_t kPointingLogMs = 1000;
constexpr uint64_t kStreamPeriodicError = 40;
// Relative amplitudes of the worm's harmonics (fundamental first).
constexpr double kHarmonicShare[] = {1.0, 0.4, 0.25, 0.12};

double start_ra_arcsec(const MountConfig& c, std::time_t calendar_start) {
    const double jd = julian_day(static_cast<double>(calendar_start));
    return local_sidereal_hours(jd, c.longitude_deg) * 15.0 * kArcsecPerDeg;
}

int index(Direction d) {
    return static_cast<int>(d);
}

}  // namespace

Mount::Mount(const MountConfig& config, const Timeline& timeline, std::time_t calendar_start,
             uint32_t seed, std::shared_ptr<SimLog> log)
    : config_(config),
      timeline_(timeline),
      calendar_start_(calendar_start),
      start_ms_(timeline_.now_ms()),
      log_(std::move(log)),
      last_event_ms_(start_ms_),
      next_log_ms_(start_ms_),
      ra_(start_ra_arcsec(config, calendar_start), 0.0, start_ms_),
      dec_(config.start_dec_deg * kArcsecPerDeg, config.dec_backlash_arcsec, start_ms_),
      drift_epochs_{start_ms_},
      focus_steps_(std::clamp(config.focuser_start_steps, 0, config.focuser_max_steps)),
      focus_since_ms_(start_ms_) {
    target_ = {ra_.motor_at(start_ms_), dec_.motor_at(start_ms_)};
    goto_target_ = {target_.ra / kArcsecPerDeg, target_.dec / kArcsecPerDeg};
    Rng rng(seed, kStreamPeriodicError);
    for (int k = 0; k < kHarmonics; ++k) {
        pe_amplitude_[k] = kHarmonicShare[k];
        pe_phase_[k] = 2 * std::numbers::pi * rng.uniform();
    }
    // Scale the harmonics so that one worm turn spans the peak-to-peak setting.
    double lo = 0, hi = 0;
    const double period_ms = config_.worm_period_s * 1000;
    for (int i = 0; i < 2000; ++i) {
        const double v = periodic_error(start_ms_ + static_cast<int64_t>(period_ms * i / 2000));
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    const double scale = hi > lo ? config_.periodic_error_pp_arcsec / (hi - lo) : 0.0;
    for (double& a : pe_amplitude_) a *= scale;
}

int64_t Mount::now_ms() {
    std::lock_guard lock(mutex_);
    return timeline_.now_ms();
}

int64_t Mount::event_time(int64_t at_ms) {
    // Events from several threads are applied in order; the log has covered up to the last row.
    at_ms = std::max({at_ms, last_event_ms_, next_log_ms_ - kPointingLogMs});
    log_pointing_until(at_ms);
    last_event_ms_ = at_ms;
    forget_old(at_ms);
    return at_ms;
}

double Mount::rate_of(MoveRate r) const {
    switch (r) {
        case MoveRate::kGuide:
            return config_.guide_rate_sidereal * kSiderealArcsecPerS;
        case MoveRate::kCentre:
            return config_.centre_rate_sidereal * kSiderealArcsecPerS;
        case MoveRate::kFind:
            return config_.find_deg_per_s * kArcsecPerDeg;
        case MoveRate::kSlew:
            return config_.slew_deg_per_s * kArcsecPerDeg;
    }
    return 0;
}

double Mount::direction_rate(const DirectionState& s, int64_t at_ms) const {
    const double guide = rate_of(MoveRate::kGuide);
    double rate = s.move_rate;
    if (s.guide_input || s.bump_end_ms > at_ms) rate = std::max(rate, guide);
    return rate;
}

void Mount::replan_axis(MountAxis& axis, Direction plus, Direction minus, int64_t at_ms) {
    const DirectionState& p = directions_[index(plus)];
    const DirectionState& m = directions_[index(minus)];
    MountAxis::RateStep steps[3];
    size_t n = 0;
    steps[n++] = {at_ms, 0};
    for (int64_t end :
         {std::min(p.bump_end_ms, m.bump_end_ms), std::max(p.bump_end_ms, m.bump_end_ms)}) {
        if (end > steps[n - 1].at_ms) steps[n++] = {end, 0};
    }
    for (size_t i = 0; i < n; ++i) {
        steps[i].rate = direction_rate(p, steps[i].at_ms) - direction_rate(m, steps[i].at_ms);
    }
    axis.plan(steps, n);
}

void Mount::replan(int64_t at_ms) {
    if (at_ms < slew_end_ms_) return;  // a go-to ignores the buttons until it arrives
    replan_axis(ra_, Direction::kEast, Direction::kWest, at_ms);
    replan_axis(dec_, Direction::kNorth, Direction::kSouth, at_ms);
}

void Mount::set_move_rate(MoveRate rate) {
    std::lock_guard lock(mutex_);
    move_rate_ = rate;
}

void Mount::start_move(Direction d, int64_t at_ms) {
    std::lock_guard lock(mutex_);
    at_ms = event_time(at_ms);
    if (at_ms < slew_end_ms_) return;
    DirectionState& s = directions_[index(d)];
    s.move_rate = rate_of(move_rate_);
    s.move_is_guide = move_rate_ == MoveRate::kGuide;
    replan(at_ms);
}

void Mount::stop_move(Direction d, int64_t at_ms) {
    std::lock_guard lock(mutex_);
    at_ms = event_time(at_ms);
    DirectionState& s = directions_[index(d)];
    const bool placed = s.move_rate > 0 && !s.move_is_guide;
    s.move_rate = 0;
    replan(at_ms);
    // A move faster than guiding puts the mount somewhere new on purpose.
    if (placed) target_ = {ra_.motor_at(at_ms), dec_.motor_at(at_ms)};
}

void Mount::end_slew_early(int64_t at_ms) {
    slew_end_ms_ = at_ms;
    const MountAxis::RateStep stop{at_ms, 0};
    ra_.plan(&stop, 1);
    dec_.plan(&stop, 1);
    target_ = {ra_.motor_at(at_ms), dec_.motor_at(at_ms)};
}

void Mount::stop_all(int64_t at_ms) {
    std::lock_guard lock(mutex_);
    at_ms = event_time(at_ms);
    bool placed = false;
    for (DirectionState& s : directions_) {
        placed = placed || (s.move_rate > 0 && !s.move_is_guide);
        s.move_rate = 0;
        s.bump_end_ms = 0;
    }
    if (at_ms < slew_end_ms_) end_slew_early(at_ms);
    replan(at_ms);
    if (placed) target_ = {ra_.motor_at(at_ms), dec_.motor_at(at_ms)};
}

void Mount::set_guide_input(Direction d, bool on, int64_t at_ms) {
    std::lock_guard lock(mutex_);
    at_ms = event_time(at_ms);
    directions_[index(d)].guide_input = on;
    replan(at_ms);
}

void Mount::bump(Direction d, int64_t duration_ms, int64_t at_ms) {
    std::lock_guard lock(mutex_);
    at_ms = event_time(at_ms);
    directions_[index(d)].bump_end_ms = at_ms + std::max<int64_t>(0, duration_ms);
    replan(at_ms);
}

void Mount::set_target_ra(double ra_deg) {
    std::lock_guard lock(mutex_);
    goto_target_.ra_deg = ra_deg;
    object_name_ = std::string();
}

void Mount::set_target_dec(double dec_deg) {
    std::lock_guard lock(mutex_);
    goto_target_.dec_deg = dec_deg;
    object_name_ = std::string();
}

bool Mount::select_object(char catalogue, int number, int64_t at_ms) {
    std::lock_guard lock(mutex_);
    const double jd = julian_day(calendar_start_ + (at_ms - start_ms_) / 1000.0);
    std::optional<CatalogueObject> found;
    if (catalogue == 'M') found = messier_object(number, jd);
    if (catalogue == 'C') found = ngc_object(number, jd);
    if (catalogue == 'S') found = star_object(number, jd);
    if (!found) {
        object_name_.reset();
        return false;
    }
    goto_target_ = found->position;
    object_name_ = found->name;
    return true;
}

std::string Mount::object_info() {
    std::lock_guard lock(mutex_);
    if (!object_name_) return "No object";
    const double ra_min = goto_target_.ra_deg * 4.0;
    const double dec_min = std::fabs(goto_target_.dec_deg) * 60.0;
    const int ra_tenths = static_cast<int>(std::lround(ra_min * 10)) % (24 * 600);
    const int dec_whole = static_cast<int>(std::lround(dec_min));
    char text[64];
    std::snprintf(text, sizeof text, "%s%s%02d:%02d.%d %c%02d*%02d",
                  object_name_->empty() ? "" : object_name_->c_str(),
                  object_name_->empty() ? "" : " ", ra_tenths / 600, ra_tenths / 10 % 60,
                  ra_tenths % 10, goto_target_.dec_deg < 0 ? '-' : '+', dec_whole / 60,
                  dec_whole % 60);
    return text;
}

int Mount::go_to_target(int64_t at_ms, std::string& text) {
    std::lock_guard lock(mutex_);
    at_ms = event_time(at_ms);
    if (!object_name_) {
        text = "No object selected";
        return 1;
    }
    const double jd = julian_day(calendar_start_ + (at_ms - start_ms_) / 1000.0);
    const double lst = local_sidereal_hours(jd, config_.longitude_deg);
    if (altitude_deg(goto_target_, lst, config_.latitude_deg) < config_.horizon_deg) {
        text = "Object Below Horizon";
        return 1;
    }
    for (DirectionState& s : directions_) {
        s.move_rate = 0;
        s.bump_end_ms = 0;
    }
    const AxisPosition object{goto_target_.ra_deg * kArcsecPerDeg,
                              goto_target_.dec_deg * kArcsecPerDeg};
    const double slew = rate_of(MoveRate::kSlew);
    int64_t arrival = at_ms;
    auto slew_axis = [&](MountAxis& axis, double delta) {
        const auto duration = static_cast<int64_t>(std::ceil(std::fabs(delta) / slew * 1000));
        MountAxis::RateStep steps[2] = {{at_ms, 0}, {at_ms + duration, 0}};
        // The rate that lands the motor exactly on the object at a whole millisecond.
        if (duration > 0) steps[0].rate = delta / static_cast<double>(duration) * 1000;
        axis.plan(steps, 2);
        arrival = std::max(arrival, at_ms + duration);
    };
    slew_axis(ra_, wrap_half_circle(object.ra - sync_offset_.ra - ra_.motor_at(at_ms)));
    slew_axis(dec_, object.dec - sync_offset_.dec - dec_.motor_at(at_ms));
    slew_end_ms_ = arrival;
    target_ = object;
    drift_epochs_.push_back(arrival);
    text.clear();
    return 0;
}

void Mount::sync_to_target(int64_t at_ms, std::string& text) {
    std::lock_guard lock(mutex_);
    at_ms = event_time(at_ms);
    if (!object_name_) {
        text = "No object selected";
        return;
    }
    const AxisPosition object{goto_target_.ra_deg * kArcsecPerDeg,
                              goto_target_.dec_deg * kArcsecPerDeg};
    sync_offset_ = {wrap_half_circle(object.ra - ra_.motor_at(at_ms)),
                    object.dec - dec_.motor_at(at_ms)};
    target_ = object;
    drift_epochs_.push_back(at_ms);
    text = object_name_->empty() ? "Coordinates matched" : *object_name_;
}

AxisPosition Mount::reported_arcsec(int64_t at_ms) const {
    return {wrap_full_circle(ra_.motor_at(at_ms) + sync_offset_.ra),
            dec_.motor_at(at_ms) + sync_offset_.dec};
}

Equatorial Mount::reported(int64_t at_ms) {
    std::lock_guard lock(mutex_);
    log_pointing_until(timeline_.now_ms());
    const AxisPosition p = reported_arcsec(at_ms);
    return {p.ra / kArcsecPerDeg, p.dec / kArcsecPerDeg};
}

bool Mount::slewing(int64_t at_ms) {
    std::lock_guard lock(mutex_);
    return at_ms < slew_end_ms_;
}

double Mount::periodic_error(int64_t at_ms) const {
    const double turns = static_cast<double>(at_ms - start_ms_) / (config_.worm_period_s * 1000);
    double v = 0;
    for (int k = 0; k < kHarmonics; ++k) {
        v += pe_amplitude_[k] * std::sin(2 * std::numbers::pi * (k + 1) * turns + pe_phase_[k]);
    }
    return v;
}

int64_t Mount::drift_epoch(int64_t at_ms) const {
    auto it = std::upper_bound(drift_epochs_.begin(), drift_epochs_.end(), at_ms);
    return it == drift_epochs_.begin() ? drift_epochs_.front() : *(it - 1);
}

AxisPosition Mount::true_arcsec(int64_t at_ms) const {
    const double minutes = static_cast<double>(at_ms - drift_epoch(at_ms)) / 60000.0;
    return {
        ra_.optics_at(at_ms) + periodic_error(at_ms) + config_.drift_ra_arcsec_per_min * minutes,
        dec_.optics_at(at_ms) + config_.drift_dec_arcsec_per_min * minutes};
}

AxisPosition Mount::error_arcsec(int64_t at_ms) const {
    const AxisPosition t = true_arcsec(at_ms);
    return {wrap_half_circle(t.ra - target_.ra) * std::cos(target_.dec * kRadPerArcsec),
            t.dec - target_.dec};
}

AxisPosition Mount::true_pointing(int64_t at_ms) {
    std::lock_guard lock(mutex_);
    log_pointing_until(timeline_.now_ms());
    return true_arcsec(at_ms);
}

AxisPosition Mount::pointing_error(int64_t at_ms) {
    std::lock_guard lock(mutex_);
    return error_arcsec(at_ms);
}

void Mount::log_pointing_until(int64_t at_ms) {
    if (!log_) return;
    for (; next_log_ms_ <= at_ms; next_log_ms_ += kPointingLogMs) {
        const AxisPosition e = error_arcsec(next_log_ms_);
        log_->pointing(next_log_ms_, e.ra, e.dec);
    }
}

void Mount::forget_old(int64_t at_ms) {
    const int64_t horizon = at_ms - kHistoryMs;
    ra_.forget_before(horizon);
    dec_.forget_before(horizon);
    while (drift_epochs_.size() > 1 && drift_epochs_[1] <= horizon) {
        drift_epochs_.erase(drift_epochs_.begin());
    }
}

void Mount::set_focus_fast(bool fast) {
    std::lock_guard lock(mutex_);
    focus_fast_ = fast;
}

double Mount::focus_at(int64_t at_ms) const {
    const double seconds =
        static_cast<double>(std::max<int64_t>(0, at_ms - focus_since_ms_)) / 1000;
    return std::clamp(focus_steps_ + focus_speed_ * seconds, 0.0,
                      static_cast<double>(config_.focuser_max_steps));
}

void Mount::start_focus(bool outward, int64_t at_ms) {
    std::lock_guard lock(mutex_);
    at_ms = event_time(at_ms);
    focus_steps_ = focus_at(at_ms);
    focus_since_ms_ = at_ms;
    const double speed =
        focus_fast_ ? config_.focuser_fast_steps_per_s : config_.focuser_slow_steps_per_s;
    focus_speed_ = outward ? speed : -speed;
}

void Mount::stop_focus(int64_t at_ms) {
    std::lock_guard lock(mutex_);
    at_ms = event_time(at_ms);
    focus_steps_ = focus_at(at_ms);
    focus_since_ms_ = at_ms;
    focus_speed_ = 0;
}

bool Mount::focusing(int64_t at_ms) {
    std::lock_guard lock(mutex_);
    const double p = focus_at(at_ms);
    return focus_speed_ > 0 ? p < config_.focuser_max_steps : focus_speed_ < 0 && p > 0;
}

double Mount::focus_position(int64_t at_ms) {
    std::lock_guard lock(mutex_);
    return focus_at(at_ms);
}

double Mount::defocus_fwhm_px(int64_t at_ms) {
    std::lock_guard lock(mutex_);
    return std::fabs(focus_at(at_ms) - config_.focuser_best_steps) * config_.defocus_px_per_step;
}

double Mount::julian_day_at(int64_t at_ms) {
    std::lock_guard lock(mutex_);
    return julian_day(calendar_start_ + (at_ms - start_ms_) / 1000.0);
}

double Mount::local_sidereal_hours_at(int64_t at_ms) {
    const double jd = julian_day_at(at_ms);
    return local_sidereal_hours(jd, config_.longitude_deg);
}

}  // namespace kvr::sim
