#include "sim/lx200_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace kvr::sim {

namespace {

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kDegreeSign = 0xDF;
// A command longer than this is line noise and is dropped.
constexpr size_t kLongestCommand = 40;
// What the hand controller reports of itself.
constexpr char kProduct[] = "LX200 simulator";
constexpr char kFirmwareNumber[] = "1.0";
constexpr char kFirmwareDate[] = "Dec 07 2026";
constexpr char kFirmwareTime[] = "12:00:00";
constexpr char kSiteName[] = "Observatory";

// A strict controller's time to answer `command`, ms: the go-to and sync verdicts take longest
// (the controller computes the slew first), the object text next; queries and settings are quick.
int64_t answer_delay_ms(const std::string& command) {
    if (command.empty()) return 10;  // the ACK byte
    if (command == "MS" || command == "CM") return 150;
    if (command == "LI") return 100;
    if (command[0] == 'S') return 60;
    return 40;
}

// Reads a whole number of at most `max_digits` digits at `pos`.
bool read_number(const std::string& s, size_t& pos, int max_digits, int& out) {
    int digits = 0;
    out = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && digits < max_digits) {
        out = out * 10 + (s[pos++] - '0');
        ++digits;
    }
    return digits > 0;
}

void skip_spaces(const std::string& s, size_t& pos) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
}

std::optional<Direction> direction_of(char c) {
    switch (c) {
        case 'n':
            return Direction::kNorth;
        case 's':
            return Direction::kSouth;
        case 'e':
            return Direction::kEast;
        case 'w':
            return Direction::kWest;
        default:
            return std::nullopt;
    }
}

// Degrees as "sDD*MM" (or "sDDD*MM" with `degree_digits` 3).
void append_angle(double deg, int degree_digits, std::string& out) {
    const long minutes = std::lround(std::fabs(deg) * 60);
    char text[48];
    std::snprintf(text, sizeof text, "%c%0*ld*%02ld", deg < 0 ? '-' : '+', degree_digits,
                  minutes / 60, minutes % 60);
    out += text;
}

}  // namespace

bool parse_lx200_ra(const std::string& text, double& ra_deg) {
    size_t pos = 0;
    skip_spaces(text, pos);
    int h = 0, m = 0, s = 0, tenths = 0;
    if (!read_number(text, pos, 2, h) || pos >= text.size() || text[pos++] != ':') return false;
    if (!read_number(text, pos, 2, m) || pos >= text.size()) return false;
    const char sep = text[pos++];
    if (sep == '.') {
        if (!read_number(text, pos, 1, tenths)) return false;
    } else if (sep == ':') {
        if (!read_number(text, pos, 2, s)) return false;
    } else {
        return false;
    }
    if (pos != text.size() || h >= 24 || m >= 60 || s >= 60) return false;
    ra_deg = 15.0 * (h + (m + tenths / 10.0) / 60.0 + s / 3600.0);
    return true;
}

bool parse_lx200_dec(const std::string& text, double& dec_deg) {
    size_t pos = 0;
    skip_spaces(text, pos);
    double sign = 1;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        if (text[pos] == '-') sign = -1;
        ++pos;
    }
    int d = 0, m = 0, s = 0;
    auto separator = [&]() {
        if (pos >= text.size()) return false;
        const auto c = static_cast<uint8_t>(text[pos++]);
        return c == '*' || c == ':' || c == kDegreeSign;
    };
    if (!read_number(text, pos, 2, d) || !separator() || !read_number(text, pos, 2, m)) {
        return false;
    }
    if (pos < text.size() && (text[pos++] != ':' || !read_number(text, pos, 2, s))) return false;
    if (pos != text.size() || m >= 60 || s >= 60) return false;
    const double value = d + m / 60.0 + s / 3600.0;
    if (value > 90) return false;
    dec_deg = sign * value;
    return true;
}

void Lx200Session::receive(const uint8_t* bytes, size_t count, int64_t at_ms, std::string& reply) {
    deliver(at_ms, reply);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (command_.empty()) {
            if (b == kAck) answer("", "P", at_ms, reply);
            if (b == ':') command_.push_back(':');
            continue;
        }
        if (b == '#') {
            const std::string command = command_.substr(1);
            std::string text;
            execute(command, at_ms, text);
            answer(command, std::move(text), at_ms, reply);
            command_.clear();
        } else if (command_.size() >= kLongestCommand) {
            command_.clear();
        } else {
            command_ += static_cast<char>(b);
        }
    }
}

void Lx200Session::answer(const std::string& command, std::string text, int64_t at_ms,
                          std::string& reply) {
    if (text.empty()) return;
    if (!strict_) {
        reply += text;
        return;
    }
    for (char& c : text) {
        if (c == '*') c = static_cast<char>(kDegreeSign);
    }
    int64_t due = at_ms + answer_delay_ms(command);
    if (!late_.empty()) due = std::max(due, late_.back().due_ms);
    late_.push_back({due, std::move(text)});
}

void Lx200Session::deliver(int64_t at_ms, std::string& reply) {
    while (!late_.empty() && late_.front().due_ms <= at_ms) {
        reply += late_.front().bytes;
        late_.pop_front();
    }
}

bool Lx200Session::precision_fits(const std::string& c) const {
    if (!strict_) return true;
    // High precision carries seconds: a second ':' in the R.A., a third separator in the Dec.
    size_t separators = 0;
    for (size_t i = 2; i < c.size(); ++i) {
        const auto b = static_cast<uint8_t>(c[i]);
        if (b == ':' || (c[1] == 'd' && (b == '*' || b == kDegreeSign))) ++separators;
    }
    return (separators == 2) == high_precision_;
}

void Lx200Session::set_target(const std::string& c, std::string& reply) {
    const std::string args = c.substr(2);
    double value = 0;
    bool ok = false;
    if (c[1] == 'r') {
        ok = precision_fits(c) && parse_lx200_ra(args, value);
        if (ok) mount_.set_target_ra(value);
    } else if (c[1] == 'd') {
        ok = precision_fits(c) && parse_lx200_dec(args, value);
        if (ok) mount_.set_target_dec(value);
    } else {
        return;
    }
    if (ok) target_by_coordinates_ = true;
    reply += ok ? '1' : '0';
}

void Lx200Session::append_ra(double ra_deg, std::string& reply) const {
    char text[48];
    if (high_precision_) {
        const long s = std::lround(ra_deg * 240.0) % 86400;
        std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld#", s / 3600, s / 60 % 60, s % 60);
    } else {
        const long t = std::lround(ra_deg * 40.0) % 14400;  // tenths of a minute of time
        std::snprintf(text, sizeof text, "%02ld:%02ld.%ld#", t / 600, t / 10 % 60, t % 10);
    }
    reply += text;
}

void Lx200Session::append_dec(double dec_deg, std::string& reply) const {
    if (!high_precision_) {
        append_angle(dec_deg, 2, reply);
        reply += '#';
        return;
    }
    const long s = std::lround(std::fabs(dec_deg) * 3600.0);
    char text[48];
    std::snprintf(text, sizeof text, "%c%02ld*%02ld:%02ld#", dec_deg < 0 ? '-' : '+', s / 3600,
                  s / 60 % 60, s % 60);
    reply += text;
}

void Lx200Session::execute(const std::string& c, int64_t at_ms, std::string& reply) {
    if (c.empty()) return;
    switch (c[0]) {
        case 'G':
            query(c, at_ms, reply);
            return;
        case 'M':
            if (c == "MS") {
                std::string text;
                const int verdict = mount_.go_to_target(at_ms, text);
                reply += static_cast<char>('0' + verdict);
                if (verdict != 0) reply += text + '#';
            } else if (auto d = c.size() == 2 ? direction_of(c[1]) : std::nullopt) {
                mount_.start_move(*d, at_ms);
            }
            return;
        case 'Q':
            if (c == "Q") {
                mount_.stop_all(at_ms);
            } else if (auto d = c.size() == 2 ? direction_of(c[1]) : std::nullopt) {
                mount_.stop_move(*d, at_ms);
            }
            return;
        case 'R':
            if (c == "RS") mount_.set_move_rate(MoveRate::kSlew);
            if (c == "RM") mount_.set_move_rate(MoveRate::kFind);
            if (c == "RC") mount_.set_move_rate(MoveRate::kCentre);
            if (c == "RG") mount_.set_move_rate(MoveRate::kGuide);
            return;
        case 'S':
            if (c.size() >= 2) set_target(c, reply);
            return;
        case 'L': {
            if (c == "LI") {
                if (!(strict_ && target_by_coordinates_)) reply += mount_.object_info() + '#';
                return;
            }
            size_t pos = 2;
            skip_spaces(c, pos);
            int number = 0;
            if (c.size() > 1 && (c[1] == 'M' || c[1] == 'C' || c[1] == 'S') &&
                read_number(c, pos, 5, number) && pos == c.size()) {
                mount_.select_object(c[1], number, at_ms);
                target_by_coordinates_ = false;
            }
            return;
        }
        case 'C':
            if (c == "CM") {
                std::string text;
                mount_.sync_to_target(at_ms, text);
                reply += text + '#';
            }
            return;
        case 'D':
            if (c == "D") reply += mount_.slewing(at_ms) ? "\x7F#" : "#";
            return;
        case 'F':
            if (c == "F+" || c == "F-") mount_.start_focus(c[1] == '+', at_ms);
            if (c == "FQ") mount_.stop_focus(at_ms);
            if (c == "FF" || c == "FS") mount_.set_focus_fast(c[1] == 'F');
            if (c == "FB") reply += mount_.focusing(at_ms) ? '1' : '0';
            return;
        case 'U':
            if (c == "U") high_precision_ = !high_precision_;
            return;
        default:
            return;
    }
}

void Lx200Session::query(const std::string& c, int64_t at_ms, std::string& reply) {
    const MountConfig& site = mount_.config();
    // Calendar of the simulated clock; local time is kept in UTC.
    const double jd = mount_.julian_day_at(at_ms);
    const auto unix_seconds =
        static_cast<std::time_t>(std::floor((jd - 2440587.5) * 86400.0 + 0.5));
    std::tm utc{};
    gmtime_r(&unix_seconds, &utc);
    char text[40];
    if (c == "GR") {
        append_ra(mount_.reported(at_ms).ra_deg, reply);
    } else if (c == "GD") {
        append_dec(mount_.reported(at_ms).dec_deg, reply);
    } else if (c == "GS") {
        append_ra(mount_.local_sidereal_hours_at(at_ms) * 15.0, reply);
    } else if (c == "GL") {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d#", utc.tm_hour, utc.tm_min, utc.tm_sec);
        reply += text;
    } else if (c == "GC") {
        std::snprintf(text, sizeof text, "%02d/%02d/%02d#", utc.tm_mon + 1, utc.tm_mday,
                      utc.tm_year % 100);
        reply += text;
    } else if (c == "GG") {
        reply += "+00#";
    } else if (c == "Gt") {
        append_angle(site.latitude_deg, 2, reply);
        reply += '#';
    } else if (c == "Gg") {
        // The hand controller counts longitude westward.
        append_angle(-site.longitude_deg, 3, reply);
        reply += '#';
    } else if (c == "Gc") {
        reply += "24#";  // the clock's hour format
    } else if (c == "GM") {
        reply += std::string(kSiteName) + '#';
    } else if (c == "GT") {
        reply += "60.1#";  // tracking rate, Hz of the drive: sidereal
    } else if (c == "GVP") {
        reply += std::string(kProduct) + '#';
    } else if (c == "GVN") {
        reply += std::string(kFirmwareNumber) + '#';
    } else if (c == "GVD") {
        reply += std::string(kFirmwareDate) + '#';
    } else if (c == "GVT") {
        reply += std::string(kFirmwareTime) + '#';
    } else if (c == "GVF") {
        reply += std::string(kProduct) + '|' + kFirmwareNumber + '|' + kFirmwareDate + '@' +
                 kFirmwareTime + '#';
    }
}

}  // namespace kvr::sim
