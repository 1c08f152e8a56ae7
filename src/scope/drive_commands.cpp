#include "scope/drive_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camera/command_blocks.h"
#include "camera/usb_link.h"
#include "core/messages.h"
#include "core/program.h"
#include "core/waits.h"

namespace kvr {

namespace {

constexpr uint32_t kLxMoveDelayMs = 20;      // rate command to move command of a pulse
constexpr uint32_t kLxPulseTailMs = 4;       // after the stop of a pulse
constexpr uint32_t kBoxMoveDelayMs = 10;     // start to relay closed
constexpr uint32_t kBoxPulseTailMs = 300;    // after the relays opened
constexpr uint32_t kInfoAnswerWaitMs = 200;  // "#:LI#" to its answer
constexpr uint32_t kObjectVerdictWaitMs = 500;
constexpr uint32_t kCoordVerdictWaitMs = 1;
constexpr uint32_t kBoxManualDelayMs = 1;
constexpr int kCatalogueCommandChars = 10;  // "#:LM 0031#"
constexpr int kRaCommandChars = 12;         // "#:Sr 05:35.0" of "#:Sr 05:35.0#"
constexpr int kDecCommandChars = 11;        // "#:Sd -05*30" of "#:Sd -05*30#"
constexpr int kMaxCatalogueNumber = 9999;   // four digits
// A co-ordinate's answer follows the '#' that closes it by the time of a dozen characters.
constexpr uint32_t kCoordAnswerWaitMs = 50;

bool is_direction(char d) {
    return d == 'n' || d == 's' || d == 'e' || d == 'w';
}

bool send_lx(Program& p, const char* text, int chars) {
    return camera_serial_write(p, mount_port(p), text, chars);
}

bool send_lx(Program& p, const char* text) {
    return send_lx(p, text, kLxCommandChars);
}

bool send_box(Program& p, unsigned char bits) {
    p.scope.Korv5100command = bits;
    return box_write(p);
}

void set_text(char* dst, size_t capacity, const char* text) {
    std::snprintf(dst, capacity, "%s", text);
}

// The mount's go-to verdict: '0' empties `scope_error`, any other answer leaves its text there.
// Nothing at all (the camera reads zeros) is no success either.
void read_verdict(Program& p) {
    if (!check_serial_return(p, mount_port(p))) return;
    if (p.scope.scope_error[0] == '\0' && p.buf->ReportBuffer[0] != '0')
        set_text(p.scope.scope_error, sizeof p.scope.scope_error, kNoAnswerFromMount);
}

// The answer to "#:LI#" into `move_error`; a line that stayed silent says so there.
void read_info_answer(Program& p) {
    if (read_serial(p, mount_port(p), kLxAnswerBytes) && p.buf->ReportBuffer[0] == 0)
        set_text(p.scope.move_error, sizeof p.scope.move_error, kNoAnswerFromMount);
}

// One co-ordinate answer: false (with the refusal in `scope_error`) for '0' or when it could not
// be read. A mount that answers nothing is found out by the verdict.
bool coordinate_accepted(Program& p) {
    if (!read_serial_return(p, mount_port(p))) return false;
    if (p.buf->ReportBuffer[0] != '0') return true;
    set_text(p.scope.scope_error, sizeof p.scope.scope_error, kCoordinatesRefused);
    return false;
}

}  // namespace

void block_until(Program& p, uint32_t until_ms) {
    uint32_t ticks = p.clock.ms();
    uint32_t end = until_ms;
    WaitOptions o;
    o.presses = WaitPresses::Unseen;
    o.blocks = true;
    timed_wait(p, ticks, end, o);
}

void block_for(Program& p, uint32_t duration_ms) {
    block_until(p, p.clock.ms() + duration_ms);
}

int mount_port(Program& p) {
    p.settings.Port = p.settings.slewcom == '1' ? 0 : 1;
    return p.settings.Port;
}

char mapped_direction(const Program& p, char requested) {
    switch (requested) {
        case 'n':
            return p.settings.n;
        case 's':
            return p.settings.s;
        case 'e':
            return p.settings.e;
        case 'w':
            return p.settings.w;
        default:
            return requested;
    }
}

unsigned char box_bit(char direction) {
    switch (direction) {
        case 'w':
            return kBoxWest;
        case 's':
            return kBoxSouth;
        case 'n':
            return kBoxNorth;
        case 'e':
            return kBoxEast;
        default:
            return 0;
    }
}

bool box_write(Program& p) {
    return find_camera(p) && send_guide_relays(p, p.scope.Korv5100command);
}

bool camera_serial_write(Program& p, int port, const char* text, int chars) {
    return find_camera(p) && write_serial(p, port, text, chars);
}

bool pulse_begin(Program& p, char d) {
    const uint32_t t0 = p.clock.ms();
    if (p.scope.telescope == 'b') {
        if (box_bit(d) == 0) return false;
        block_until(p, t0 + kBoxMoveDelayMs);
        return true;
    }
    if (!is_direction(d) || !send_lx(p, kLxGuideRate)) return false;
    block_until(p, t0 + kLxMoveDelayMs);
    return true;
}

bool pulse_move(Program& p, char d) {
    if (p.scope.telescope == 'b') return send_box(p, box_bit(d));
    const char move[] = {'#', ':', 'M', d, '#', '\0'};
    return send_lx(p, move);
}

void pulse_stop(Program& p, char d) {
    if (p.scope.telescope == 'b') {
        send_box(p, 0);
        return;
    }
    const char stop[] = {'#', ':', 'Q', d, '#', '\0'};
    send_lx(p, stop);
}

void pulse_tail(Program& p) {
    block_for(p, p.scope.telescope == 'b' ? kBoxPulseTailMs : kLxPulseTailMs);
}

void drive_slew(Program& p) {
    const char d = p.scope.slewdir;
    if (pulse_begin(p, d)) {
        const uint32_t t1 = p.clock.ms();
        if (pulse_move(p, d)) {
            block_until(p, t1 + static_cast<uint32_t>(std::max(0, p.scope.slew_time)));
            pulse_stop(p, d);
        }
    }
    pulse_tail(p);
}

void get_info(Program& p) {
    p.scope.move_error[0] = '\0';
    if (!send_lx(p, kLxObjectInfo)) return;
    block_for(p, kInfoAnswerWaitMs);
    read_info_answer(p);
}

void move_telescope(Program& p, char type, int number) {
    p.scope.move_error[0] = '\0';
    if (number < 0 || number > kMaxCatalogueNumber) {
        message50f(p, "Object number %d out of range: 0 to %d", number, kMaxCatalogueNumber);
        return;
    }
    const char* prefix = type == 'm' ? "#:LM " : type == 's' ? "#:LS " : "#:LC ";
    char command[16];
    std::snprintf(command, sizeof command, "%s%04d#", prefix, number);
    if (!send_lx(p, command, kCatalogueCommandChars)) return;
    get_info(p);
    p.host.beep();
    if (!send_lx(p, kLxSlewToObject)) return;
    block_for(p, kObjectVerdictWaitMs);
    read_verdict(p);
}

void move_to_coord(Program& p, int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes,
                   bool south) {
    ScopeState& scope = p.scope;
    scope.move_error[0] = '\0';
    char ra[32];
    std::snprintf(ra, sizeof ra, "#:Sr %02d:%02d.0#", ra_hours, ra_minutes);
    char dec[32];
    std::snprintf(dec, sizeof dec, "#:Sd %c%02d*%02d#", dec_degrees < 0 || south ? '-' : '+',
                  std::abs(dec_degrees), dec_minutes);
    // Each co-ordinate is answered ('1' valid, '0' not) once the next command's '#' closes it:
    // the right ascension's answer is read before "#:LI#" is sent, the declination's before the
    // object information that follows it.
    if (!send_lx(p, ra, kRaCommandChars) || !send_lx(p, dec, kDecCommandChars)) return;
    block_for(p, kCoordAnswerWaitMs);
    if (!coordinate_accepted(p) || !send_lx(p, kLxObjectInfo)) return;
    block_for(p, kInfoAnswerWaitMs);
    if (!coordinate_accepted(p)) return;
    read_info_answer(p);
    p.host.beep();
    if (!send_lx(p, kLxSlewToObject)) return;
    block_for(p, kCoordVerdictWaitMs);
    read_verdict(p);
}

void set_move_direction(Program& p, char direction) {
    char* m = p.scope.move_direction;
    std::snprintf(m, sizeof p.scope.move_direction, "#:M%c#", direction);
    m[3] = mapped_direction(p, direction);
}

void start_move(Program& p) {
    if (send_lx(p, p.scope.tele_speed)) send_lx(p, p.scope.move_direction);
}

void stop_move(Program& p) {
    p.scope.tele_moving = 0;
    for (const char* stop : {"#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}) send_lx(p, stop);
}

void start_focus(Program& p) {
    if (send_lx(p, p.scope.focus_speed)) send_lx(p, p.scope.focus_direction);
}

void stop_focus(Program& p) {
    p.scope.tele_moving = 0;
    send_lx(p, kLxFocusStop);
}

void box_start_move(Program& p) {
    block_for(p, kBoxManualDelayMs);
    send_box(p, box_bit(p.scope.slewdir));
}

void box_stop_move(Program& p) {
    send_box(p, 0);
}

int error_check(Program& p, int code) {
    if (code >= 0) return code;
    message50f(p, "ERROR %d ", code);
    return -1;
}

}  // namespace kvr
