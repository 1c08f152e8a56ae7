#include "files/fits_keywords.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/program.h"
#include "files/byte_order.h"
#include "files/file_io.h"
#include "files/fits_cards.h"
#include "files/image_file_kinds.h"
#include "files/number_text.h"

namespace kvr {

namespace {

constexpr size_t kKeywordColumns = 8;

std::string_view keyword_of(const char* card) {
    std::string_view k(card, kKeywordColumns);
    while (!k.empty() && k.back() == ' ') k.remove_suffix(1);
    return k;
}

// A value card has "= " in columns 9 and 10.
bool has_value(const char* card) {
    return card[8] == '=' && card[9] == ' ';
}

bool integer_value(const char* card, long& out) {
    double v = 0;
    if (!has_value(card) || !parse_number(std::string_view(card + 10, kCardBytes - 10), v) ||
        v != std::floor(v) || std::fabs(v) > 1e9)
        return false;
    out = static_cast<long>(v);
    return true;
}

// The text of a string value (opening quote in column 11) without the trailing spaces FITS
// holds insignificant, empty for any other value.
std::string string_value(const char* card) {
    if (!has_value(card) || card[10] != '\'') return {};
    std::string text = card_text(card);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// A HISTORY or COMMENT card: this program writes its text as a quoted string; others write
// free text from column 9.
std::string commentary_text(const char* card) {
    if (has_value(card) && card[10] == '\'') return card_text(card);
    std::string_view text(card + 8, kCardBytes - 8);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return std::string(text);
}

const char* card_at(const uint8_t* data, int index) {
    return reinterpret_cast<const char*>(data) + size_t(index) * kCardBytes;
}

}  // namespace

bool starts_as_fits(const uint8_t* data, size_t bytes) {
    if (bytes < kCardBytes) return false;
    const char* first = card_at(data, 0);
    if (keyword_of(first) != "SIMPLE" || !has_value(first)) return false;
    const std::string_view v(first + 10, 20);
    const size_t at = v.find_first_not_of(' ');
    return at != std::string_view::npos && v[at] == 'T';
}

bool holds_end_card(const uint8_t* data, size_t bytes) {
    for (size_t i = 0; i < bytes / kCardBytes; ++i)
        if (keyword_of(card_at(data, static_cast<int>(i))) == "END") return true;
    return false;
}

StandardFitsCheck check_standard_fits(const uint8_t* data, size_t header_bytes, uint64_t length,
                                      StandardFitsHeader& out) {
    header_bytes = std::min<size_t>(
        {header_bytes, kFitsProbeBytes, static_cast<size_t>(std::min<uint64_t>(length, SIZE_MAX))});
    if (!starts_as_fits(data, header_bytes))
        return header_bytes < kCardBytes ? StandardFitsCheck::Short : StandardFitsCheck::Foreign;
    long bitpix = 0, naxis = -1, width = 0, height = 0;
    double scale = 1, zero = 0;
    const size_t cards = header_bytes / kCardBytes;
    size_t end_card = 0;
    for (size_t i = 1; i < cards && end_card == 0; ++i) {
        const char* card = card_at(data, static_cast<int>(i));
        const std::string_view key = keyword_of(card);
        const std::string_view value(card + 10, kCardBytes - 10);
        bool ok = true;
        if (key == "END")
            end_card = i;
        else if (key == "BITPIX")
            ok = integer_value(card, bitpix);
        else if (key == "NAXIS")
            ok = integer_value(card, naxis);
        else if (key == "NAXIS1")
            ok = integer_value(card, width);
        else if (key == "NAXIS2")
            ok = integer_value(card, height);
        else if (key == "BSCALE")
            ok = has_value(card) && parse_number(value, scale);
        else if (key == "BZERO")
            ok = has_value(card) && parse_number(value, zero);
        if (!ok) return StandardFitsCheck::Foreign;
    }
    if (end_card == 0) {
        // No END in what was read: a file cut short, or a header longer than is read.
        return header_bytes >= length ? StandardFitsCheck::Short : StandardFitsCheck::Foreign;
    }
    const bool full = width == kFullWidth && height == kFullHeight;
    const bool binned = width == kBinnedWidth && height == kBinnedHeight;
    // The guider head's frames, as other programs save them (the INDI driver's guide chip).
    const bool guider = width == kGuiderWidth && height == kGuiderHeight && bitpix == 8;
    if ((bitpix != 16 && bitpix != 8) || naxis != 2 || !(full || binned || guider) || scale != 1 ||
        zero != std::floor(zero) || std::fabs(zero) > 65536)
        return StandardFitsCheck::Foreign;
    out.zero = static_cast<int>(zero);
    out.bitpix = static_cast<int>(bitpix);
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    const size_t header_end = (end_card + 1) * kCardBytes;
    out.data_offset = (header_end + kFitsBlockBytes - 1) / kFitsBlockBytes * kFitsBlockBytes;
    if (length < out.data_offset + out.data_bytes()) return StandardFitsCheck::Short;
    return StandardFitsCheck::Ok;
}

void read_standard_fits_texts(Program& p, const uint8_t* data, size_t header_bytes) {
    SettingsState& s = p.settings;
    struct Text {
        std::string_view key;
        char* dest;
        size_t capacity;
    };
    const Text texts[] = {
        {"OBJECT", s.FITS_Obj, kFitsTextBytes},    {"TELESCOP", s.FITS_Tel, kFitsTextBytes},
        {"INSTRUME", s.FITS_Ins, kFitsTextBytes},  {"OBSERVER", s.FITS_Obs, kFitsTextBytes},
        {"ORIGIN", s.FITS_Src, kFitsTextBytes},    {"DATE-OBS", s.FITS_Date, kFitsTextBytes},
        {"TIME-OBS", s.FITS_Time, kFitsTextBytes}, {"FILTER", s.FITS_Filter, kFitsFilterBytes},
    };
    struct Number {
        std::string_view key;
        double* dest;
    };
    const Number numbers[] = {{"PIXWIDTH", &s.FITS_Pixwidth},
                              {"PIXHEIGH", &s.FITS_Pixheight},
                              {"EXPTIME", &s.FITS_Exptime},
                              {"FOCALLEN", &s.FITS_Focallen},
                              {"APERTURE", &s.FITS_Aperture}};
    // HISTORY cards fill the processing history, then the four slices of the long history
    // text; COMMENT cards the four slices of the comment, as this program writes them.
    const char* his[kSliceCards] = {};
    const char* com[kSliceCards] = {};
    int history_cards = 0, comment_cards = 0;
    s.FITS_SBIG = 0;
    const int cards = static_cast<int>(std::min(header_bytes, kFitsProbeBytes) / kCardBytes);
    for (int i = 1; i < cards; ++i) {
        const char* card = card_at(data, i);
        const std::string_view key = keyword_of(card);
        if (key == "END") break;
        for (const Text& t : texts)
            if (key == t.key) copy_text(t.dest, t.capacity, string_value(card));
        for (const Number& n : numbers)
            if (key == n.key && has_value(card))
                parse_number(std::string_view(card + 10, kCardBytes - 10), *n.dest);
        if (key == "HISTORY" && history_cards < kFitsHistoryLines + kSliceCards) {
            if (history_cards < kFitsHistoryLines)
                copy_text(p.shell.process_info[history_cards], kHistoryLineBytes,
                          commentary_text(card));
            else
                his[history_cards - kFitsHistoryLines] = card;
            ++history_cards;
        }
        if (key == "COMMENT" && comment_cards < kSliceCards) com[comment_cards++] = card;
    }
    auto joined = [](const char* const(&cards)[kSliceCards]) {
        std::string out;
        for (int i = 0; i < kSliceCards && cards[i]; ++i) {
            std::string slice = commentary_text(cards[i]);
            if (i == kSliceCards - 1 && slice.size() > kLastSliceChars)
                slice.resize(kLastSliceChars);
            out += slice;
        }
        return out;
    };
    copy_text(s.FITS_His, joined(his));
    copy_text(s.FITS_Com, joined(com));
}

void decode_standard_fits_pixels(const uint8_t* src, size_t pixels, int zero, uint16_t* dst) {
    // The usual offsets, whole vectors at a time: 32768 flips the sign bit, 0 holds negative
    // words at 0.
    size_t i = 0;
    if (zero == 32768 || zero == 0) {
        const uint16_t flip = zero == 0 ? 0 : 0x8000;
        for (; i + kU16x8Lanes <= pixels; i += kU16x8Lanes) {
            u16x8 v;
            std::memcpy(&v, src + 2 * i, sizeof v);
            v = swap_be16_u16x8(v, flip);
            if (zero == 0) v &= (v >> 15) - 1;
            store_u16x8(dst + i, v);
        }
    }
    for (; i < pixels; ++i) {
        const auto stored = static_cast<int16_t>(uint16_t(src[2 * i] << 8 | src[2 * i + 1]));
        dst[i] = static_cast<uint16_t>(std::clamp(stored + zero, 0, 65535));
    }
}

void spread_guider_rows(uint16_t* frame) {
    // From the last row up: a guider row is never overwritten before it has been copied (row y's
    // pair starts at 2y · 752, at or past where row y itself lies).
    for (int y = kGuiderHeight - 1; y >= 0; --y) {
        const uint16_t* row = frame + y * kGuiderWidth;
        for (const int line : {2 * y + 1, 2 * y}) {
            uint16_t* out = frame + line * kFullWidth;
            std::memmove(out, row, sizeof(uint16_t) * kGuiderWidth);
            std::fill(out + kGuiderWidth, out + kFullWidth, uint16_t{0});
        }
    }
}

void decode_standard_fits_bytes(const uint8_t* src, size_t pixels, int zero, uint16_t* dst) {
    // From the end, so that each byte is read before the pixel that covers it is written.
    for (size_t i = pixels; i-- > 0;) {
        const int value = std::clamp(int{src[i]} + zero, 0, 255);
        dst[i] = static_cast<uint16_t>(value << 8);
    }
}

}  // namespace kvr
