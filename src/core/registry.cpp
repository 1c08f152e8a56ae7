#include "core/registry.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kvr {

const char* type_name(VarType t) {
    switch (t) {
        case VarType::Int:
            return "int";
        case VarType::UInt:
            return "unsigned";
        case VarType::Short:
            return "short";
        case VarType::UShort:
            return "unsigned short";
        case VarType::Char:
            return "char";
        case VarType::UChar:
            return "unsigned char";
        case VarType::Float:
            return "float";
        case VarType::Double:
            return "double";
        case VarType::Text:
            return "text";
        case VarType::PixelPtr:
            return "pixel pointer";
        case VarType::BytePtr:
            return "byte pointer";
    }
    return "?";
}

const char* set_result_text(SetResult r) {
    switch (r) {
        case SetResult::Ok:
            return "ok";
        case SetResult::UnknownName:
            return "unknown variable";
        case SetResult::BadValue:
            return "not a valid value for this variable";
        case SetResult::OutOfRange:
            return "value out of range for this variable";
        case SetResult::TooLong:
            return "text too long for this variable";
        case SetResult::ReadOnly:
            return "variable is read only";
    }
    return "?";
}

std::string Registry::indexed(std::string_view name, int i) {
    return std::string(name) + "[" + std::to_string(i) + "]";
}

void Registry::put(std::string_view name, VarEntry e) {
    auto [it, inserted] = entries_.emplace(std::string(name), e);
    if (!inserted) duplicates_.emplace_back(name);
}

void Registry::add_buffer(std::string_view name, const void* begin, size_t bytes) {
    buffers_.push_back({std::string(name), static_cast<const char*>(begin), bytes});
}

const VarEntry* Registry::find(std::string_view name) const {
    auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second;
}

std::vector<std::string> Registry::names() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& [name, e] : entries_) out.push_back(name);
    return out;
}

std::string Registry::describe_pointer(const void* p) const {
    if (p == nullptr) return "null";
    const char* c = static_cast<const char*>(p);
    for (const auto& b : buffers_) {
        if (c >= b.begin && c < b.begin + b.bytes) {
            size_t off = static_cast<size_t>(c - b.begin);
            return off == 0 ? b.name : b.name + "+" + std::to_string(off);
        }
    }
    return "(outside the image buffers)";
}

namespace {

template <typename F>
std::string shortest(F v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Parses a whole integer (decimal, or 0x-prefixed hex) into [lo, hi].
SetResult parse_integer(std::string_view s, long long lo, long long hi, long long& out) {
    s = trim(s);
    if (s.empty()) return SetResult::BadValue;
    bool neg = false;
    std::string_view digits = s;
    if (digits.front() == '-' || digits.front() == '+') {
        neg = digits.front() == '-';
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    unsigned long long mag = 0;
    auto res = std::from_chars(digits.data(), digits.data() + digits.size(), mag, base);
    if (res.ec == std::errc::result_out_of_range) return SetResult::OutOfRange;
    if (res.ec != std::errc() || res.ptr != digits.data() + digits.size())
        return SetResult::BadValue;
    if (mag > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
        return SetResult::OutOfRange;
    long long v = neg ? -static_cast<long long>(mag) : static_cast<long long>(mag);
    if (v < lo || v > hi) return SetResult::OutOfRange;
    out = v;
    return SetResult::Ok;
}

SetResult parse_real(std::string_view s, double max_abs, double& out) {
    std::string text(trim(s));
    if (text.empty()) return SetResult::BadValue;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return SetResult::BadValue;
    if (errno == ERANGE || !std::isfinite(v) || std::fabs(v) > max_abs)
        return SetResult::OutOfRange;
    out = v;
    return SetResult::Ok;
}

template <typename T>
SetResult set_integer(void* addr, std::string_view value) {
    long long v = 0;
    SetResult r =
        parse_integer(value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), v);
    if (r == SetResult::Ok) *static_cast<T*>(addr) = static_cast<T>(v);
    return r;
}

}  // namespace

bool Registry::get(std::string_view name, std::string& out) const {
    const VarEntry* e = find(name);
    if (!e) return false;
    void* a = e->address;
    switch (e->type) {
        case VarType::Int:
            out = std::to_string(*static_cast<int*>(a));
            break;
        case VarType::UInt:
            out = std::to_string(*static_cast<unsigned*>(a));
            break;
        case VarType::Short:
            out = std::to_string(*static_cast<int16_t*>(a));
            break;
        case VarType::UShort:
            out = std::to_string(*static_cast<uint16_t*>(a));
            break;
        case VarType::Char: {
            char c = *static_cast<char*>(a);
            out = c == 0 ? std::string() : std::string(1, c);
            break;
        }
        case VarType::UChar:
            out = std::to_string(*static_cast<unsigned char*>(a));
            break;
        case VarType::Float:
            out = shortest(*static_cast<float*>(a));
            break;
        case VarType::Double:
            out = shortest(*static_cast<double*>(a));
            break;
        case VarType::Text: {
            const char* t = static_cast<const char*>(a);
            out.assign(t, strnlen(t, static_cast<size_t>(e->capacity)));
            break;
        }
        case VarType::PixelPtr:
            out = describe_pointer(*static_cast<uint16_t**>(a));
            break;
        case VarType::BytePtr:
            out = describe_pointer(*static_cast<uint8_t**>(a));
            break;
    }
    return true;
}

SetResult Registry::set(std::string_view name, std::string_view value) {
    const VarEntry* e = find(name);
    if (!e) return SetResult::UnknownName;
    void* a = e->address;
    switch (e->type) {
        case VarType::Int:
            return set_integer<int>(a, value);
        case VarType::UInt:
            return set_integer<unsigned>(a, value);
        case VarType::Short:
            return set_integer<int16_t>(a, value);
        case VarType::UShort:
            return set_integer<uint16_t>(a, value);
        case VarType::UChar:
            return set_integer<unsigned char>(a, value);
        case VarType::Char: {
            if (value.size() > 1) return SetResult::TooLong;
            *static_cast<char*>(a) = value.empty() ? '\0' : value[0];
            return SetResult::Ok;
        }
        case VarType::Float: {
            double v = 0;
            SetResult r = parse_real(value, std::numeric_limits<float>::max(), v);
            if (r == SetResult::Ok) *static_cast<float*>(a) = static_cast<float>(v);
            return r;
        }
        case VarType::Double: {
            double v = 0;
            SetResult r = parse_real(value, std::numeric_limits<double>::max(), v);
            if (r == SetResult::Ok) *static_cast<double*>(a) = v;
            return r;
        }
        case VarType::Text: {
            if (value.size() + 1 > static_cast<size_t>(e->capacity)) return SetResult::TooLong;
            char* t = static_cast<char*>(a);
            std::memset(t, 0, static_cast<size_t>(e->capacity));
            std::memcpy(t, value.data(), value.size());
            return SetResult::Ok;
        }
        case VarType::PixelPtr:
        case VarType::BytePtr:
            return SetResult::ReadOnly;
    }
    return SetResult::BadValue;
}

}  // namespace kvr
