#pragma once
// State of the telescope drive, the AO unit and the PC serial port.
#include <memory>

#include "core/state_macros.h"

namespace kvr {

class SerialPort;
class DialogModel;

// move_error / scope_error: the mount's last text answer, up to its first '#'. comfound: the
// link to the mount has been checked. Filterbox_Filter: the current filter, 1 … Max_Filters.
inline constexpr int kScopeAnswerBytes = 100;
// LX200 commands of a manual move ("#:RS#", "#:Mn#", "#:FF#" ...): five characters.
inline constexpr int kLxCommandBytes = 6;
// AO unit commands: seven characters (a letter, a direction, five digits), or one byte.
inline constexpr int kAoCommandBytes = 8;

// telescope: 'n' none, 'l' LX200 commands, 'b' guide-interface box.
// slewdir / slew_time: direction letter and length (ms) of the next guide pulse or manual move.
// tele_speed, move_direction, focus_speed, focus_direction: the LX200 commands of a manual move.
// tele_moving / tele_focussing: a manual move / focuser run is going on.
// Korv5100command: relay mask of the guide-interface box (west 1, south 2, north 4, east 8).
// AOUnitcommand, AOUnitslewdir, AOUnitslew_time: the AO command being built, its direction and
// its steps (or, through the box, milliseconds). AO_ns / AO_ew: AO offset from centre in steps,
// north and east positive. AOUnit_failed: the last AO move was refused at the travel limit.
// AOUnit_lastsent: clock ms of the last mount bump; AOUnit_sendtomount: its letter.
// AOUnit_bump_compensate: each mount bump is paired with a move of the element towards centre
// by the image shift that bumps were seen to make, so the guide star does not jump with the
// mount. AOUnit_bump_shift_ns / _ew: that shift, learned from the guide frame after each bump,
// in thousandths of an AO step per bump count (0 until a bump has been seen), at most the
// element's whole travel per count.
inline constexpr int kAoMostBumpShift = 80 * 1000;
// PC_Serial_check: the PC serial port is open. retchar, set_*: the telescope dialog's go-to
// values.
#define KVR_SCOPE_STATE(V, T, A, L)              \
    V(char, telescope, 'n')                      \
    T(move_error, kScopeAnswerBytes, "")         \
    T(scope_error, kScopeAnswerBytes, "")        \
    V(int, comfound, 0)                          \
    V(uint16_t, Filterbox_Filter, 1)             \
    V(char, slewdir, 'n')                        \
    V(int, slew_time, 0)                         \
    T(tele_speed, kLxCommandBytes, "#:RS#")      \
    T(move_direction, kLxCommandBytes, "#:Mn#")  \
    T(focus_speed, kLxCommandBytes, "#:FF#")     \
    T(focus_direction, kLxCommandBytes, "#:F+#") \
    V(int, tele_moving, 0)                       \
    V(int, tele_focussing, 0)                    \
    V(unsigned char, Korv5100command, 0)         \
    T(AOUnitcommand, kAoCommandBytes, "GN00001") \
    V(char, AOUnitslewdir, 'n')                  \
    V(int, AOUnitslew_time, 0)                   \
    V(int16_t, AO_ns, 0)                         \
    V(int16_t, AO_ew, 0)                         \
    V(int, AOUnit_failed, 0)                     \
    V(unsigned, AOUnit_lastsent, 0)              \
    T(AOUnit_sendtomount, 2, "")                 \
    V(int, AOUnit_bump_compensate, 1)            \
    V(int, AOUnit_bump_shift_ns, 0)              \
    V(int, AOUnit_bump_shift_ew, 0)              \
    V(int, PC_Serial_check, 0)                   \
    V(char, retchar, '0')                        \
    V(int, set_Messier, 0)                       \
    V(int, set_CNGC, 0)                          \
    V(int, set_RAhr, 0)                          \
    V(int, set_RAmin, 0)                         \
    V(int, set_Decdeg, 0)                        \
    V(int, set_Decmin, 0)
KVR_STATE_STRUCT(ScopeVariables, KVR_SCOPE_STATE)

// A mount bump on one AO axis whose effect the next guide frame has not measured yet.
struct UnseenBump {
    int count = 0;  // bump count sent; 0: none pending
    int sign = 0;   // sign of the axis offset that caused it (the bump moves the image back)
    int moved = 0;  // steps the element was moved towards centre with it
};

struct ScopeState : ScopeVariables {
    UnseenBump unseen_bump_ns, unseen_bump_ew;
    // The PC's serial port (termios in the front ends, a pseudo-terminal or fake in tests);
    // empty when the build has none.
    std::unique_ptr<SerialPort> pc_serial;
    // The modeless telescope windows, made when first opened and kept for reopening.
    std::shared_ptr<DialogModel> telescope_dialog;
    std::shared_ptr<DialogModel> box_dialog;

    ScopeState();
    ~ScopeState();
    ScopeState(const ScopeState&) = delete;
    ScopeState& operator=(const ScopeState&) = delete;
};

}  // namespace kvr
