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
#include <string>

#include "sim/mount.h"
#include "sim/serial_device.h"

namespace kvr::sim {

class Lx200Session : public SerialDevice {
  public:
    explicit Lx200Session(Mount& mount) : mount_(mount) {}
    void receive(const uint8_t* bytes, size_t count, int64_t at_ms, std::string& reply) override;

  private:
    void execute(const std::string& command, int64_t at_ms, std::string& reply);
    void query(const std::string& command, int64_t at_ms, std::string& reply);
    void append_ra(double ra_deg, std::string& reply) const;
    void append_dec(double dec_deg, std::string& reply) const;

    Mount& mount_;
    // The command in progress, from its ':' on (empty: none).
    std::string command_;
    // :U# toggles between "HH:MM:SS" / "sDD*MM:SS" (the default) and "HH:MM.T" / "sDD*MM".
    bool high_precision_ = true;
};

// Parsers of the LX200 coordinate arguments; false for anything else.
// Right ascension "HH:MM.T" or "HH:MM:SS" (hours < 24), degrees out.
bool parse_lx200_ra(const std::string& text, double& ra_deg);
// Declination "sDD*MM" or "sDD*MM:SS" (sign optional, separator '*', ':' or 0xDF), |δ| ≤ 90°.
bool parse_lx200_dec(const std::string& text, double& dec_deg);

}  // namespace kvr::sim
