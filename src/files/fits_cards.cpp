#include "files/fits_cards.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "files/number_text.h"

namespace kvr {

namespace {

bool printable(char c) {
    return c >= 0x20 && c <= 0x7e;
}

// Encodes as much of `text` as fits into `room` columns; returns characters taken.
size_t encode_text(std::string_view text, size_t room, std::string& out) {
    size_t taken = 0;
    for (char c : text) {
        const size_t need = c == '\'' ? 2 : 1;
        if (out.size() + need > room) break;
        if (c == '\'')
            out += "''";
        else
            out += printable(c) ? c : ' ';
        ++taken;
    }
    return taken;
}

void place(char* card, size_t column, std::string_view s) {
    std::memcpy(card + column, s.data(), std::min(s.size(), size_t{kCardBytes} - column));
}

}  // namespace

void blank_card(char* card) {
    std::memset(card, ' ', kCardBytes);
}

void text_card(char* card, std::string_view text) {
    blank_card(card);
    place(card, 0, text);
}

void string_card(char* card, std::string_view prefix, std::string_view text) {
    std::string value(prefix);
    encode_text(text, kCardTextColumns + prefix.size(), value);
    value += '\'';
    text_card(card, value);
}

size_t slice_card(char* card, std::string_view prefix, std::string_view text) {
    std::string value(prefix);
    const size_t taken = encode_text(text, kCardTextColumns + prefix.size(), value);
    // A slice that ends the text is padded; one cut short by a doubled quote is not, so the
    // next slice continues the text without a gap.
    if (taken == text.size()) value.resize(kCardTextColumns + prefix.size(), ' ');
    value += '\'';
    text_card(card, value);
    return taken;
}

void number_card(char* card, std::string_view keyword, double value) {
    std::string text(keyword);
    text += "    ";
    text += format_exponent(std::isfinite(value) ? value : 0.0);
    text_card(card, text);
}

std::string_view card_text(const char* card, char (&room)[kCardBytes]) {
    size_t n = 0;
    for (int i = 11; i < kCardBytes; ++i) {
        if (card[i] != '\'') {
            room[n++] = card[i];
            continue;
        }
        if (i + 1 < kCardBytes && card[i + 1] == '\'') {
            room[n++] = '\'';
            ++i;
            continue;
        }
        break;
    }
    return {room, n};
}

std::string card_text(const char* card) {
    char room[kCardBytes];
    return std::string(card_text(card, room));
}

bool card_number(const char* card, double& out) {
    return parse_number(std::string_view(card + 13, kCardBytes - 13), out);
}

bool card_columns_are(const char* card, int first_column, std::string_view expected) {
    const size_t at = static_cast<size_t>(first_column - 1);
    if (at + expected.size() > kCardBytes) return false;
    return std::memcmp(card + at, expected.data(), expected.size()) == 0;
}

std::string join_slices(const char* const cards[kSliceCards]) {
    std::string out;
    for (int i = 0; i < kSliceCards; ++i) {
        std::string slice = card_text(cards[i]);
        if (i == kSliceCards - 1 && slice.size() > kLastSliceChars) slice.resize(kLastSliceChars);
        out += slice;
    }
    return out;
}

}  // namespace kvr
