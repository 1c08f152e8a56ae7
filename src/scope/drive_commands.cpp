#include "scope/drive_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

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
constexpr int kMaxCatalogueNumber = 9999;   // four digits
// A co-ordinate's answer follows the '#' that closes it by the time of a dozen characters.
constexpr uint32_t kCoordAnswerWaitMs = 50;
// Hand controllers answer late (tens of ms; a go-to verdict after the slew is planned), so an
// answer not there after the usual pause is looked for again every kAnswerPollMs until its
// deadline. The object text may never come: some controllers leave ":LI#" unanswered.
constexpr uint32_t kAnswerPollMs = 10;
constexpr uint32_t kAnswerTimeoutMs = 1000;
constexpr uint32_t kInfoTimeoutMs = 500;
// The controller's own degree byte, shown as the '*' of the low-ASCII form.
constexpr unsigned char kDegreeByte = 0xDF;

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

// The first byte of the mount's next answer, waiting for it until `timeout_ms` from now; 0 when
// none came (the camera reads zeros from a silent line). False (already reported) when the camera
// could not be asked.
bool await_answer(Program& p, uint32_t timeout_ms, char& first) {
    const uint32_t start = p.clock.ms();
    for (;;) {
        if (!read_serial_return(p, mount_port(p))) return false;
        first = static_cast<char>(p.buf->ReportBuffer[0]);
        if (first != '\0' || p.clock.ms() - start >= timeout_ms) return true;
        block_for(p, kAnswerPollMs);
    }
}

// The rest of an answer whose first byte has been read: the text up to its '#', appended to the
// `used` characters already in `text` (capacity `capacity`), degree bytes shown as '*'.
bool read_answer_rest(Program& p, char* text, size_t capacity, size_t used) {
    if (!read_serial(p, mount_port(p), kLxAnswerBytes - 1)) return false;
    for (int i = 0; i < kLxAnswerBytes - 1 && used + 1 < capacity; ++i) {
        const unsigned char b = p.buf->ReportBuffer[i];
        if (b == '#' || b == '\0') break;
        text[used++] = b == kDegreeByte ? '*' : static_cast<char>(b);
    }
    text[used] = '\0';
    return true;
}

// A whole text answer into `text` ("" when the mount stayed silent until `timeout_ms`).
bool read_text_answer(Program& p, uint32_t timeout_ms, char* text, size_t capacity) {
    char first = '\0';
    text[0] = '\0';
    if (!await_answer(p, timeout_ms, first)) return false;
    if (first == '\0') return true;
    text[0] = first == static_cast<char>(kDegreeByte) ? '*' : first;
    return read_answer_rest(p, text, capacity, 1);
}

// The mount's go-to verdict: '0' empties `scope_error`; '1' or '2' is followed by the reason,
// which goes there. Nothing at all is no success either.
void read_verdict(Program& p) {
    ScopeState& s = p.scope;
    char first = '\0';
    if (!await_answer(p, kAnswerTimeoutMs, first)) return;
    if (first == '0') {
        s.scope_error[0] = '\0';
    } else if (first == '\0') {
        set_text(s.scope_error, sizeof s.scope_error, kNoAnswerFromMount);
    } else {
        read_answer_rest(p, s.scope_error, sizeof s.scope_error, 0);
    }
}

// The answer to "#:LI#" into `move_error`. Silence only means the mount has nothing to say about
// the target: `move_error` stays empty and the verdict decides the go-to.
void read_info_answer(Program& p) {
    read_text_answer(p, kInfoTimeoutMs, p.scope.move_error, sizeof p.scope.move_error);
}

// One co-ordinate answer: false (with the refusal in `scope_error`) for '0' or when it could not
// be read. A mount that answers nothing is found out by the verdict.
bool coordinate_accepted(Program& p) {
    char first = '\0';
    if (!await_answer(p, kAnswerTimeoutMs, first)) return false;
    if (first != '0') return true;
    set_text(p.scope.scope_error, sizeof p.scope.scope_error, kCoordinatesRefused);
    return false;
}

// Whether the mount works in high precision (positions to the second, "HH:MM:SS"): it takes
// co-ordinates only in the precision it shows them in. A mount that does not say is sent the
// low-precision forms.
bool mount_in_high_precision(Program& p) {
    char ra[kLxAnswerBytes + 1];
    if (!send_lx(p, kLxGetRa) || !read_text_answer(p, kAnswerTimeoutMs, ra, sizeof ra))
        return false;
    return std::strlen(ra) == 8 && ra[2] == ':' && ra[5] == ':';
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

void drive_slew_pair(Program& p, char first, int first_ms, char second, int second_ms) {
    struct Move {
        char direction;
        int ms;
        bool moving = false;
    };
    Move moves[2] = {{first, first_ms}, {second, second_ms}};
    ScopeState& s = p.scope;
    if (s.telescope == 'b') {
        for (const Move& m : moves) {
            if (m.ms <= 0) continue;
            s.slewdir = m.direction;
            s.slew_time = m.ms;
            drive_slew(p);
        }
        return;
    }
    auto wanted = [](const Move& m) { return m.ms > 0 && is_direction(m.direction); };
    const Move* lead = wanted(moves[0]) ? &moves[0] : wanted(moves[1]) ? &moves[1] : nullptr;
    if (!lead) return;
    s.slewdir = moves[1].direction;
    s.slew_time = moves[1].ms;
    if (pulse_begin(p, lead->direction)) {
        const uint32_t t1 = p.clock.ms();
        for (Move& m : moves) m.moving = wanted(m) && pulse_move(p, m.direction);
        // The shorter pulse stops first.
        if (moves[1].ms < moves[0].ms) std::swap(moves[0], moves[1]);
        for (const Move& m : moves) {
            if (!m.moving) continue;
            block_until(p, t1 + static_cast<uint32_t>(m.ms));
            pulse_stop(p, m.direction);
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
    const bool high = mount_in_high_precision(p);
    // Each text is sent without its closing '#': the next command's leading '#' closes it.
    char ra[32];
    std::snprintf(ra, sizeof ra, high ? "#:Sr %02d:%02d:00" : "#:Sr %02d:%02d.0", ra_hours,
                  ra_minutes);
    char dec[32];
    std::snprintf(dec, sizeof dec, high ? "#:Sd %c%02d*%02d:00" : "#:Sd %c%02d*%02d",
                  dec_degrees < 0 || south ? '-' : '+', std::abs(dec_degrees), dec_minutes);
    // Each co-ordinate is answered ('1' valid, '0' not) once the next command's '#' closes it:
    // the right ascension's answer is read before "#:LI#" is sent, the declination's before the
    // object information that follows it.
    if (!send_lx(p, ra, static_cast<int>(std::strlen(ra))) ||
        !send_lx(p, dec, static_cast<int>(std::strlen(dec))))
        return;
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
