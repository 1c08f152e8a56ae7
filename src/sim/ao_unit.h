#pragma once
// The simulated AO unit: a tip-tilt element that shifts the image of both heads by a number of
// steps north-south and east-west, with a little more travel than the program allows itself.
//
// Serial commands, seven characters with no terminator: 'G' + direction + five digits moves the
// element that many steps ('N', 'S', 'T' east, 'W'); 'M' + direction + five digits passes a
// bump of that many counts to the mount at the guide rate; 'K' alone centres the element.
// Anything else is skipped a byte at a time until a command fits.
//
// Parallel input (the relay box's four lines): a line held low moves the element that way at a
// steady speed (west 1, south 2, north 4, east 8, so 14 moves west, 7 east, 11 north, 13
// south); 15 (all high) holds it still; 0 (all low) centres it.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/observatory_config.h"
#include "sim/serial_device.h"

namespace kvr::sim {

class Mount;
class SimLog;

// The element's offset from centre, steps: north and east positive.
struct AoOffset {
    double ns = 0;
    double ew = 0;
};

class AoUnit : public SerialDevice {
  public:
    AoUnit(const AoConfig& config, Mount& mount, std::shared_ptr<SimLog> log, int64_t at_ms);

    void receive(const uint8_t* bytes, size_t count, int64_t at_ms, std::string& reply) override;
    void parallel_lines(uint16_t bits, int64_t at_ms);
    // The element's offset at `ms` (also a past moment, for an exposure that is over).
    AoOffset offset_at(int64_t ms);
    double step_arcsec() const { return config_.step_arcsec; }

  private:
    // From t0 on the element stands at `at` and moves at `rate` steps per second each way.
    struct Piece {
        int64_t t0 = 0;
        AoOffset at;
        AoOffset rate;
    };
    AoOffset position(const Piece& p, int64_t ms) const;
    void set_motion(int64_t at_ms, AoOffset target, AoOffset rate);
    void run(int64_t at_ms);

    std::mutex mutex_;
    AoConfig config_;
    Mount& mount_;
    std::shared_ptr<SimLog> log_;
    std::vector<Piece> pieces_;
    // Serial bytes of a command not yet complete.
    std::string pending_;
};

}  // namespace kvr::sim
