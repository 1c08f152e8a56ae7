#pragma once
// One serial connection to the simulated mount speaking the LX200 command set: the commands
// the program sends and the queries other LX200 programs make, answered in the hand
// controller's formats. Each connection keeps its own partly received command; all of them
// drive the same mount.
//
// A command runs from ':' to '#'. A '#' with no command in progress is ignored, so the leading
// '#' the program puts before each command does nothing and, as it sends ":Sr" and ":Sd"
// without their own '#', that leading '#' of the next command ends them. The ACK byte (0x06)
// asks the mount's alignment: 'P' (polar).
//
// A strict session behaves as the hand controllers that other programs meet in the field: each
// answer arrives some tens of milliseconds after its command (the go-to verdict 150 ms), on the
// shared clock; a co-ordinate is taken only in the precision the session is set to (":Sr
// HH:MM.T" is refused in high precision, ":Sr HH:MM:SS" in low); degrees are separated by the
// controller's own degree byte 0xDF; and ":LI#" is not answered while the target was set by
// co-ordinates rather than chosen from the catalogue.
#include <cstdint>
#include <deque>
#include <string>

#include "sim/mount.h"
#include "sim/serial_device.h"

namespace kvr::sim {

class Lx200Session : public SerialDevice {
  public:
    explicit Lx200Session(Mount& mount, bool strict = false) : mount_(mount), strict_(strict) {}
    void receive(const uint8_t* bytes, size_t count, int64_t at_ms, std::string& reply) override;
    void deliver(int64_t at_ms, std::string& reply) override;
    bool answers_pending() const override { return !late_.empty(); }

  private:
    struct LateAnswer {
        int64_t due_ms;
        std::string bytes;
    };
    // `text`, the answer to `command` ("" for the ACK byte), goes out at once or, when strict,
    // after the command's delay and never before an earlier answer.
    void answer(const std::string& command, std::string text, int64_t at_ms, std::string& reply);
    void execute(const std::string& command, int64_t at_ms, std::string& reply);
    void query(const std::string& command, int64_t at_ms, std::string& reply);
    void set_target(const std::string& command, std::string& reply);
    bool precision_fits(const std::string& command) const;
    void append_ra(double ra_deg, std::string& reply) const;
    void append_dec(double dec_deg, std::string& reply) const;

    Mount& mount_;
    // The command in progress, from its ':' on (empty: none).
    std::string command_;
    // :U# toggles between "HH:MM:SS" / "sDD*MM:SS" (the default) and "HH:MM.T" / "sDD*MM".
    bool high_precision_ = true;
    const bool strict_;
    // The target was last set by ":Sr"/":Sd" (no catalogue object to describe).
    bool target_by_coordinates_ = false;
    // Strict: answers not yet due, oldest first.
    std::deque<LateAnswer> late_;
};

// Parsers of the LX200 coordinate arguments; false for anything else.
// Right ascension "HH:MM.T" or "HH:MM:SS" (hours < 24), degrees out.
bool parse_lx200_ra(const std::string& text, double& ra_deg);
// Declination "sDD*MM" or "sDD*MM:SS" (sign optional, separator '*', ':' or 0xDF), |δ| ≤ 90°.
bool parse_lx200_dec(const std::string& text, double& dec_deg);

}  // namespace kvr::sim
