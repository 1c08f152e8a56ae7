#include "files/number_text.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace kvr {

namespace {

// Digits past this cannot bring a value back into an int range.
constexpr long kFarBeyondAnyRange = 1000000000000L;

std::string_view skip_spaces(std::string_view t) {
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
    return t;
}

}  // namespace

std::string format_exponent(double value) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 10);
    std::string out(buf, r.ptr);
    for (char& c : out)
        if (c == 'e') c = 'E';
    return out;
}

std::string format_fixed(double value) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0.000000");
}

bool parse_number(std::string_view text, double& out) {
    text = skip_spaces(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    double v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr == text.data() || !std::isfinite(v)) return false;
    out = negative ? -v : v;
    return true;
}

long parse_leading_int(std::string_view text, long lo, long hi) {
    text = skip_spaces(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        v = v * 10 + (c - '0');
        if (v > kFarBeyondAnyRange) break;
    }
    if (negative) v = -v;
    return v < lo ? lo : (v > hi ? hi : v);
}

}  // namespace kvr
