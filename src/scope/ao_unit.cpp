#include "scope/ao_unit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/messages.h"
#include "core/program.h"
#include "scope/drive_commands.h"
#include "scope/pc_serial.h"

namespace kvr {

namespace {

constexpr int kRoutePcPort = 3;
constexpr uint32_t kAoSendWaitMs = 50;
constexpr uint32_t kRelayDelayMs = 10;
constexpr uint32_t kRelayTailMs = 300;
constexpr uint32_t kBumpGapMs = 100;
constexpr uint32_t kResetWaitMs = 300;
constexpr uint32_t kCentreRelayMs = 100;
// Mount bumps last this many guide-rate units divided by the guider's calibrated rate.
constexpr int kBumpUnits = 400;
constexpr int kMaxSteps = 99999;  // five digits

// One step command: letter, direction letter, the count in five digits.
void build(Program& p, char command, char direction, int count) {
    std::snprintf(p.scope.AOUnitcommand, sizeof p.scope.AOUnitcommand, "%c%c%.5d", command,
                  direction, count);
}

void send(Program& p, char command, char direction, int count) {
    build(p, command, direction, count);
    ao_unit_write(p, kAoCommandChars);
}

void send_pattern(Program& p, unsigned char pattern) {
    p.scope.AOUnitcommand[0] = static_cast<char>(pattern);
    p.scope.AOUnitcommand[1] = '\0';
    ao_unit_write(p, 1);
}

unsigned char relay_pattern(char direction) {
    switch (direction) {
        case 'e':
            return kAoRelayEast;
        case 'n':
            return kAoRelayNorth;
        case 's':
            return kAoRelaySouth;
        case 'w':
            return kAoRelayWest;
        default:
            return kAoRelayIdle;
    }
}

// Through the box: the direction's pattern held for `AOUnitslew_time` ms.
void relay_move(Program& p) {
    const unsigned char pattern = relay_pattern(p.scope.AOUnitslewdir);
    if (pattern == kAoRelayIdle) return;
    block_for(p, kRelayDelayMs);
    send_pattern(p, pattern);
    block_for(p, static_cast<uint32_t>(std::max(0, p.scope.AOUnitslew_time)));
    send_pattern(p, kAoRelayIdle);
    block_for(p, kRelayTailMs);
}

struct AxisMove {
    char letter = 0;            // 'N', 'S', 'T' (east), 'W'
    int16_t* offset = nullptr;  // the axis's offset
    int sign = 0;               // +1 north / east
};

AxisMove axis_move(Program& p, char direction) {
    ScopeState& s = p.scope;
    switch (direction) {
        case 'n':
            return {'N', &s.AO_ns, 1};
        case 's':
            return {'S', &s.AO_ns, -1};
        case 'e':
            return {'T', &s.AO_ew, 1};
        case 'w':
            return {'W', &s.AO_ew, -1};
        default:
            return {};
    }
}

// The step count of a move, or -1 (with a message) when five digits cannot carry it.
int move_steps(Program& p) {
    const int steps = p.scope.AOUnitslew_time;
    if (steps >= 0 && steps <= kMaxSteps) return steps;
    message50f(p, "AO unit move of %d steps refused: 0 to %d steps can be sent", steps, kMaxSteps);
    return -1;
}

int16_t clamp16(int v) {
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

// The bump length for an axis whose guide rate is `rate` (guider_slewx / guider_slewy).
bool bump_count(Program& p, int rate, const char* name, int& count) {
    if (rate <= 0) {
        p.host.diagnostic(std::string("Mount bump skipped: ") + name + " is " +
                          std::to_string(rate));
        return false;
    }
    count = kBumpUnits / rate;
    if (p.settings.AOUnit_halfrate) count /= 2;
    return true;
}

// Sends the bump; the count sent, or 0 when none was.
int bump_mount(Program& p, char letter, int rate, const char* rate_name) {
    int count = 0;
    if (!bump_count(p, rate, rate_name, count)) return 0;
    send(p, 'M', letter, count);
    p.scope.AOUnit_sendtomount[0] = letter;
    p.scope.AOUnit_sendtomount[1] = '\0';
    return count;
}

// One AO axis as bump compensation sees it.
struct BumpAxis {
    int16_t& offset;
    int& shift;  // learned image shift, thousandths of a step per bump count
    UnseenBump& unseen;
    char towards_centre_from_positive;  // 'S' or 'W'
    char towards_centre_from_negative;  // 'N' or 'T'
};

BumpAxis bump_axis(ScopeState& s, bool north_south) {
    if (north_south) return {s.AO_ns, s.AOUnit_bump_shift_ns, s.unseen_bump_ns, 'S', 'N'};
    return {s.AO_ew, s.AOUnit_bump_shift_ew, s.unseen_bump_ew, 'W', 'T'};
}

// After a bump of `count` on an axis: with compensation on and a shift learned, the element moves
// towards centre by the shift the bump is expected to make, so the star stays where it was.
void after_bump(Program& p, bool north_south, int count) {
    if (count <= 0) return;
    BumpAxis a = bump_axis(p.scope, north_south);
    const int sign = a.offset > 0 ? 1 : -1;
    int moved = 0;
    if (p.scope.AOUnit_bump_compensate) {
        moved = std::min<int>((a.shift * count + 500) / 1000, std::abs(a.offset));
        if (moved > 0) {
            send(p, 'G', sign > 0 ? a.towards_centre_from_positive : a.towards_centre_from_negative,
                 moved);
            a.offset = clamp16(a.offset - sign * moved);
        }
    }
    a.unseen = {count, sign, moved};
}

void bump_if_needed(Program& p) {
    ScopeState& s = p.scope;
    const bool ns = std::abs(s.AO_ns) > kAoBumpOffset;
    const bool ew = std::abs(s.AO_ew) > kAoBumpOffset;
    const uint32_t now = p.clock.ms();
    if (!(ns || ew) || now - s.AOUnit_lastsent <= kAoBumpIntervalMs) return;
    s.AOUnit_lastsent = now;
    const SettingsState& set = p.settings;
    if (ns) {
        after_bump(p, true,
                   bump_mount(p, s.AO_ns > kAoBumpOffset ? set.Mn : set.Ms, set.guider_slewx,
                              "guider_slewx"));
        block_for(p, kBumpGapMs);
    }
    if (ew)
        after_bump(p, false,
                   bump_mount(p, s.AO_ew > kAoBumpOffset ? set.Mt : set.Mw, set.guider_slewy,
                              "guider_slewy"));
}

}  // namespace

int ao_camera_port(int AOUnit_comport) {
    return AOUnit_comport == 1 ? 0 : 1;
}

void ao_unit_write(Program& p, int AOchars) {
    ScopeState& s = p.scope;
    const SettingsState& set = p.settings;
    if (set.AOUnitModeParallel) {
        s.Korv5100command = static_cast<unsigned char>(s.AOUnitcommand[0]);
        box_write(p);
        return;
    }
    if (set.AOUnit_comport < kRoutePcPort) {
        if (camera_serial_write(p, ao_camera_port(set.AOUnit_comport), s.AOUnitcommand, AOchars))
            block_for(p, kAoSendWaitMs);
        return;
    }
    if (!s.PC_Serial_check) s.PC_Serial_check = pc_serial_check(p);
    if (!s.PC_Serial_check) return;
    pc_serial_write(p, AOchars);
    block_for(p, kAoSendWaitMs);
}

void ao_unit_slew(Program& p) {
    if (p.settings.AOUnitModeParallel) {
        relay_move(p);
        return;
    }
    ScopeState& s = p.scope;
    const AxisMove m = axis_move(p, s.AOUnitslewdir);
    if (!m.offset) return;
    const int steps = move_steps(p);
    if (steps < 0) return;
    // The offset keeps the requested move even when the move is refused: it counts what guiding
    // asked for, so the unit stays refused (and the mount keeps being bumped) until guiding
    // turns back.
    *m.offset = clamp16(*m.offset + m.sign * steps);
    if (std::abs(s.AO_ns) > kAoTravelLimit || std::abs(s.AO_ew) > kAoTravelLimit) {
        s.AOUnit_failed = 1;
    } else {
        send(p, 'G', m.letter, steps);
        s.AOUnit_failed = 0;
    }
    bump_if_needed(p);
}

void ao_unit_move(Program& p) {
    if (p.settings.AOUnitModeParallel) {
        relay_move(p);
        return;
    }
    const AxisMove m = axis_move(p, p.scope.AOUnitslewdir);
    if (!m.offset) return;
    const int steps = move_steps(p);
    if (steps < 0) return;
    *m.offset = clamp16(*m.offset + m.sign * steps);
    send(p, 'M', m.letter, steps);
}

void ao_unit_bump_seen(Program& p, char direction, int steps) {
    const AxisMove m = axis_move(p, direction);
    if (!m.offset) return;
    BumpAxis a = bump_axis(p.scope, m.offset == &p.scope.AO_ns);
    if (a.unseen.count <= 0) return;
    // The frame asks for `change` more offset; had the bump moved the image by exactly the
    // compensation, it would ask for none (drift and seeing aside).
    const int change = m.sign * steps;
    const int seen = std::max(0, a.unseen.moved - a.unseen.sign * change);
    const int shift = std::min(seen * 1000 / a.unseen.count, kAoMostBumpShift);
    // Each frame carries seeing: the estimate moves a quarter of the way to each new sighting.
    a.shift = a.shift == 0 ? shift : a.shift + (shift - a.shift) / 4;
    a.unseen = {};
}

void ao_unit_reset(Program& p) {
    ScopeState& s = p.scope;
    s.unseen_bump_ns = {};
    s.unseen_bump_ew = {};
    if (p.settings.AOUnitModeParallel) {
        send_pattern(p, 0);
        return;
    }
    if (s.AO_ns != 0) {
        send(p, 'G', s.AO_ns > 0 ? 'S' : 'N', std::min(std::abs(s.AO_ns), kMaxSteps));
        block_for(p, kResetWaitMs);
    }
    if (s.AO_ew != 0) {
        send(p, 'G', s.AO_ew > 0 ? 'W' : 'T', std::min(std::abs(s.AO_ew), kMaxSteps));
        block_for(p, kResetWaitMs);
    }
    s.AO_ns = 0;
    s.AO_ew = 0;
}

void centralise_ao_unit(Program& p) {
    if (p.settings.AOUnitModeParallel) {
        send_pattern(p, kAoRelayIdle);
        block_for(p, kCentreRelayMs);
        send_pattern(p, 0);
    } else {
        std::snprintf(p.scope.AOUnitcommand, sizeof p.scope.AOUnitcommand, "K");
        ao_unit_write(p, 1);
    }
    p.scope.AO_ns = 0;
    p.scope.AO_ew = 0;
    p.scope.unseen_bump_ns = {};
    p.scope.unseen_bump_ew = {};
}

}  // namespace kvr
