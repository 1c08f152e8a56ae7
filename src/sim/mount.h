#pragma once
// The simulated equatorial mount: two axes that track the sky, move at the guide, centre, find
// and slew rates, go to catalogue objects and coordinates of the date, and carry the errors of
// a real drive (periodic error of the RA worm, drift from polar misalignment, declination
// backlash). It also holds the focuser. The LX200 protocol, the relay box and the AO unit all
// act on one mount, from the camera's thread and from pseudo-terminal threads: every public
// operation takes the mount's lock.
//
// Three positions matter. The motor position is what the encoders report (plus a sync offset);
// the optics follow the motors through the backlash; the true pointing adds the periodic error
// and the drift, which the mount cannot see. The pointing error is the true pointing minus the
// target: where the observer last put the mount (a go-to, a sync, the end of a manual move at
// a rate faster than guiding). Guide moves do not change the target: they correct the error.
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/mount_axis.h"
#include "sim/observatory_config.h"
#include "sim/sky_catalogue.h"
#include "sim/timeline.h"

namespace kvr::sim {

class SimLog;

enum class Direction { kNorth, kSouth, kEast, kWest };
enum class MoveRate { kGuide, kCentre, kFind, kSlew };

// Right ascension and declination in arcseconds (RA as an angle: 24 h = 1296000″).
struct AxisPosition {
    double ra = 0;
    double dec = 0;
};

class Mount {
  public:
    Mount(const MountConfig& config, const Timeline& timeline, std::time_t calendar_start,
          uint32_t seed, std::shared_ptr<SimLog> log);

    int64_t now_ms();

    // Manual moves at the selected rate, as the hand controller's buttons (LX200 :M?#, :Q?#).
    void set_move_rate(MoveRate rate);
    void start_move(Direction d, int64_t at_ms);
    void stop_move(Direction d, int64_t at_ms);
    // Stops every move and a go-to (LX200 :Q#).
    void stop_all(int64_t at_ms);
    // A guide input held (true) or released, at the guide rate (relay box lines).
    void set_guide_input(Direction d, bool on, int64_t at_ms);
    // A move at the guide rate for `duration_ms` (a bump passed on by the AO unit).
    void bump(Direction d, int64_t duration_ms, int64_t at_ms);

    // The target of the next go-to or sync: coordinates of the date (LX200 :Sr, :Sd) or a
    // catalogue object ('M' Messier, 'C' NGC, 'S' star number). Selecting an object the mount
    // cannot place leaves no object selected and answers false.
    void set_target_ra(double ra_deg);
    void set_target_dec(double dec_deg);
    bool select_object(char catalogue, int number, int64_t at_ms);
    // The hand controller's text on the selected object (LX200 :LI#), without the '#'.
    std::string object_info();
    // Starts a go-to to the target: 0 when it slews, else 1 and the reason in `text`.
    int go_to_target(int64_t at_ms, std::string& text);
    // Takes the target as the position the mount points at (LX200 :CM#); its text in `text`.
    void sync_to_target(int64_t at_ms, std::string& text);

    // What the mount reports: coordinates of the date, degrees.
    Equatorial reported(int64_t at_ms);
    bool slewing(int64_t at_ms);
    // Where the optics truly point (arcseconds), and the error against the target.
    AxisPosition true_pointing(int64_t at_ms);
    AxisPosition pointing_error(int64_t at_ms);

    // Focuser: runs outward (+) or inward at the fast or slow speed until stopped.
    void set_focus_fast(bool fast);
    void start_focus(bool outward, int64_t at_ms);
    void stop_focus(int64_t at_ms);
    bool focusing(int64_t at_ms);
    double focus_position(int64_t at_ms);
    // Blur added by the focus position (FWHM, sky pixels): the V-curve.
    double defocus_fwhm_px(int64_t at_ms);

    // Site and calendar.
    double julian_day_at(int64_t at_ms);
    double local_sidereal_hours_at(int64_t at_ms);
    const MountConfig& config() const { return config_; }

  private:
    // One direction's sources of motion: a held move (its rate), a guide input, a bump's end.
    struct DirectionState {
        double move_rate = 0;
        bool move_is_guide = true;
        bool guide_input = false;
        int64_t bump_end_ms = 0;
    };

    int64_t event_time(int64_t at_ms);
    double rate_of(MoveRate r) const;
    double direction_rate(const DirectionState& s, int64_t at_ms) const;
    void replan(int64_t at_ms);
    void replan_axis(MountAxis& axis, Direction plus, Direction minus, int64_t at_ms);
    void end_slew_early(int64_t at_ms);
    AxisPosition reported_arcsec(int64_t at_ms) const;
    AxisPosition true_arcsec(int64_t at_ms) const;
    AxisPosition error_arcsec(int64_t at_ms) const;
    double periodic_error(int64_t at_ms) const;
    int64_t drift_epoch(int64_t at_ms) const;
    double focus_at(int64_t at_ms) const;
    void log_pointing_until(int64_t at_ms);
    void forget_old(int64_t at_ms);

    std::mutex mutex_;
    MountConfig config_;
    Timeline timeline_;
    std::time_t calendar_start_;
    int64_t start_ms_;
    std::shared_ptr<SimLog> log_;
    int64_t last_event_ms_;
    int64_t next_log_ms_;

    MountAxis ra_;
    MountAxis dec_;
    AxisPosition sync_offset_;
    AxisPosition target_;
    // Drift restarts from nothing where a go-to or sync places the mount anew.
    std::vector<int64_t> drift_epochs_;
    DirectionState directions_[4];
    MoveRate move_rate_ = MoveRate::kSlew;
    int64_t slew_end_ms_ = 0;

    // Periodic error: amplitudes (arcsec) and phases of the worm's harmonics.
    static constexpr int kHarmonics = 4;
    double pe_amplitude_[kHarmonics] = {};
    double pe_phase_[kHarmonics] = {};

    // Target of the next go-to, degrees of the date, and the selected object's name.
    Equatorial goto_target_;
    std::optional<std::string> object_name_;

    // Focuser: position at focus_since_ms_ and speed (steps per second, signed).
    bool focus_fast_ = true;
    double focus_steps_;
    double focus_speed_ = 0;
    int64_t focus_since_ms_;
};

}  // namespace kvr::sim
