#include "scope/drive_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camera/command_blocks.h"
#include "core/messages.h"
#include "core/program.h"

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
// The mount answers '1' (valid) or '0' to each co-ordinate once the next command's '#' has
// closed it.
constexpr int kCoordinateAnswers = 2;

bool is_direction(char d) {
    return d == 'n' || d == 's' || d == 'e' || d == 'w';
}

bool send_lx(Program& p, const char* text, int chars) {
    return WriteSerial(p, mount_port(p), text, chars);
}

bool send_lx(Program& p, const char* text) {
    return send_lx(p, text, kLxCommandChars);
}

bool send_box(Program& p, unsigned char bits) {
    p.scope.Korv5100command = bits;
    return Korv5100Write(p);
}

void set_text(char* dst, size_t capacity, const char* text) {
    std::snprintf(dst, capacity, "%s", text);
}

// The mount's go-to verdict: '0' empties `scope_error`, any other answer leaves its text there.
// Nothing at all (the camera reads zeros) is no success either.
void read_verdict(Program& p) {
    if (!CheckSerialReturn(p, mount_port(p))) return;
    if (p.scope.scope_error[0] == '\0' && p.buf->ReportBuffer[0] != '0')
        set_text(p.scope.scope_error, sizeof p.scope.scope_error, kNoAnswerFromMount);
}

// The answer to "#:LI#" into `move_error`; a line that stayed silent says so there.
void read_info_answer(Program& p) {
    if (ReadSerial(p, mount_port(p), kLxAnswerBytes) && p.buf->ReportBuffer[0] == 0)
        set_text(p.scope.move_error, sizeof p.scope.move_error, kNoAnswerFromMount);
}

}  // namespace

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

bool Korv5100Write(Program& p) {
    return send_guide_relays(p, p.scope.Korv5100command);
}

void drive_slew(Program& p) {
    if (p.scope.telescope == 'b') {
        interface_slew(p);
        return;
    }
    Clock& clock = p.clock;
    const char d = p.scope.slewdir;
    const uint32_t t0 = clock.ms();
    if (is_direction(d) && send_lx(p, kLxGuideRate)) {
        clock.wait_until(t0 + kLxMoveDelayMs);
        const char move[] = {'#', ':', 'M', d, '#', '\0'};
        const uint32_t t1 = clock.ms();
        if (send_lx(p, move)) {
            clock.wait_until(t1 + static_cast<uint32_t>(std::max(0, p.scope.slew_time)));
            const char stop[] = {'#', ':', 'Q', d, '#', '\0'};
            send_lx(p, stop);
        }
    }
    clock.sleep_ms(kLxPulseTailMs);
}

void interface_slew(Program& p) {
    Clock& clock = p.clock;
    const uint32_t t0 = clock.ms();
    const unsigned char bit = box_bit(p.scope.slewdir);
    if (bit != 0) {
        clock.wait_until(t0 + kBoxMoveDelayMs);
        const uint32_t t1 = clock.ms();
        if (send_box(p, bit)) {
            clock.wait_until(t1 + static_cast<uint32_t>(std::max(0, p.scope.slew_time)));
            send_box(p, 0);
        }
    }
    clock.sleep_ms(kBoxPulseTailMs);
}

void GetInfo(Program& p) {
    p.scope.move_error[0] = '\0';
    if (!send_lx(p, kLxObjectInfo)) return;
    p.clock.sleep_ms(kInfoAnswerWaitMs);
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
    GetInfo(p);
    p.host.beep();
    if (!send_lx(p, kLxSlewToObject)) return;
    p.clock.sleep_ms(kObjectVerdictWaitMs);
    read_verdict(p);
}

void move_to_coord(Program& p, int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes) {
    ScopeState& scope = p.scope;
    scope.move_error[0] = '\0';
    char ra[32];
    std::snprintf(ra, sizeof ra, "#:Sr %02d:%02d.0#", ra_hours, ra_minutes);
    char dec[32];
    std::snprintf(dec, sizeof dec, "#:Sd %c%02d*%02d#", dec_degrees < 0 ? '-' : '+',
                  std::abs(dec_degrees), dec_minutes);
    if (!send_lx(p, ra, kRaCommandChars) || !send_lx(p, dec, kDecCommandChars)) return;
    // "#:LI#" closes the declination; its answer follows the two co-ordinate answers, which
    // must be taken from the line before the verdict can be read.
    if (!send_lx(p, kLxObjectInfo)) return;
    p.clock.sleep_ms(kInfoAnswerWaitMs);
    if (!ReadSerial(p, mount_port(p), kCoordinateAnswers)) return;
    const uint8_t* answers = p.buf->ReportBuffer;
    if (answers[0] == '0' || answers[1] == '0') {
        set_text(scope.scope_error, sizeof scope.scope_error, kCoordinatesRefused);
        return;
    }
    read_info_answer(p);
    p.host.beep();
    if (!send_lx(p, kLxSlewToObject)) return;
    p.clock.sleep_ms(kCoordVerdictWaitMs);
    read_verdict(p);
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

void CB_start_move(Program& p) {
    p.clock.sleep_ms(kBoxManualDelayMs);
    send_box(p, box_bit(p.scope.slewdir));
}

void CB_stop_move(Program& p) {
    send_box(p, 0);
}

int ErrorCheck(Program& p, int code) {
    if (code >= 0) return code;
    message50f(p, "ERROR %d ", code);
    return -1;
}

}  // namespace kvr
