#include "files/fits_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/image_store.h"
#include "core/program.h"
#include "files/byte_order.h"
#include "files/file_io.h"
#include "files/file_replacement.h"
#include "files/fits_cards.h"
#include "files/fits_keywords.h"
#include "files/image_file_kinds.h"

namespace kvr {

namespace {

constexpr int kHeaderCards = 72;
constexpr int kUsedCards = 45;
constexpr std::string_view kUnsignedBzero = "BZERO   =   +0.0000000000E+00";
constexpr std::string_view kSignedBzero = "BZERO   =   +3.2768000000E+04";
constexpr int kSignedOffset = 32768;
// Signed format stores (pixel - 32768) mod 65536, which flips the top bit.
constexpr uint16_t kSignFlip = 0x8000;

char* card_at(uint8_t* header, int number) {
    return reinterpret_cast<char*>(header) + (number - 1) * kCardBytes;
}

void write_header(const Program& p, uint8_t* header, const FitsTexts& t, int eightbit,
                  bool binned) {
    const SettingsState& s = p.settings;
    int c = 1;
    auto next = [&] { return card_at(header, c++); };
    text_card(next(), "SIMPLE  =                    T /");
    text_card(next(),
              eightbit ? "BITPIX  =                    8 /" : "BITPIX  =                   16 /");
    text_card(next(), "NAXIS   =                    2 /");
    text_card(next(),
              binned ? "NAXIS1  =                  376 /" : "NAXIS1  =                  752 /");
    text_card(next(),
              binned ? "NAXIS2  =                  290 /" : "NAXIS2  =                  580 /");
    string_card(next(), "OBJECT  = '", t.obj);
    string_card(next(), "TELESCOP= '", t.tel);
    string_card(next(), "INSTRUME= '", t.ins);
    string_card(next(), "OBSERVER= '", t.obs);
    string_card(next(), "ORIGIN  = '", text_of(s.FITS_Src));
    string_card(next(), "DATE-OBS= '", t.date);
    string_card(next(), "TIME-OBS= '", text_of(s.FITS_Time));
    for (int i = 0; i < kFitsHistoryLines; ++i)
        string_card(next(), "HISTORY = '", text_of(p.shell.process_info[i]));
    for (const char* prefix : {"HISTORY = '", "COMMENT = '"}) {
        std::string_view rest = prefix[0] == 'H' ? t.his : t.com;
        for (int i = 0; i < kSliceCards; ++i) rest.remove_prefix(slice_card(next(), prefix, rest));
    }
    text_card(next(), s.FITS_SBIG ? kUnsignedBzero : kSignedBzero);
    text_card(next(), "BSCALE  =   +1.0000000000E+00");
    number_card(next(), "PIXWIDTH=", s.FITS_Pixwidth);
    number_card(next(), "PIXHEIGH=", s.FITS_Pixheight);
    text_card(next(),
              s.FITS_SBIG ? "SATURATE=                65535" : "SATURATE=                32768");
    number_card(next(), "EXPTIME =", s.FITS_Exptime);
    number_card(next(), "FOCALLEN=", s.FITS_Focallen);
    number_card(next(), "APERTURE=", s.FITS_Aperture);
    string_card(next(), "FILTER  = '", text_of(s.FITS_Filter));
    text_card(next(), "END");
    while (c <= kHeaderCards) blank_card(next());
}

// 16-bit data: big-endian words, shifted into signed numbers unless the unsigned format is on.
size_t encode_16bit(const uint16_t* src, size_t pixels, bool unsigned_format, uint8_t* out) {
    encode_be16(src, pixels, unsigned_format ? 0 : kSignFlip, out);
    std::memset(out + 2 * pixels, 0, kFits16TailBytes);
    return 2 * pixels + kFits16TailBytes;
}

// 8-bit data: the high byte of each pixel, then zeros to the end of the 2880-byte block.
size_t encode_8bit(const uint16_t* src, size_t pixels, uint8_t* out) {
    for (size_t i = 0; i < pixels; ++i) out[i] = static_cast<uint8_t>(src[i] >> 8);
    const size_t used = kFitsHeaderBytes + pixels;
    const size_t tail = (kFitsBlockBytes - used % kFitsBlockBytes) % kFitsBlockBytes;
    std::memset(out + pixels, 0, tail);
    return pixels + tail;
}

void read_string(const char* card, char* dest, size_t capacity) {
    char room[kCardBytes];
    copy_text(dest, capacity, card_text(card, room));
}

}  // namespace

size_t build_fits_file(Program& p, const uint16_t* fredptr, const FitsTexts& texts, int eightbit) {
    const bool binned = p.readout.binned != 0;
    const size_t pixels =
        binned ? size_t{kBinnedWidth} * kBinnedHeight : size_t{kFullWidth} * kFullHeight;
    uint8_t* file = p.buf->image_file;
    write_header(p, file, texts, eightbit, binned);
    uint8_t* data = file + kFitsHeaderBytes;
    const size_t data_bytes = eightbit ? encode_8bit(fredptr, pixels, data)
                                       : encode_16bit(fredptr, pixels, p.settings.FITS_SBIG, data);
    return kFitsHeaderBytes + data_bytes;
}

FitsTexts header_texts(const Program& p) {
    const SettingsState& s = p.settings;
    return {s.FITS_Obj, s.FITS_Obs, s.FITS_Date, s.FITS_Tel, s.FITS_Ins, s.FITS_Com, s.FITS_His};
}

void make_auto_save_folder(const Program& p) {
    std::error_code ec;
    std::filesystem::create_directory(host_path(p, text_of(p.settings.auto_save_dir)), ec);
}

int save_fits_file(Program& p, std::string_view fileTitle, const uint16_t* fredptr,
                   const FitsTexts& texts, int eightbit) {
    make_auto_save_folder(p);
    const size_t length = build_fits_file(p, fredptr, texts, eightbit);
    return replace_file(host_path(p, fileTitle), p.buf->image_file, length) ? 0 : 1;
}

int save_fits_file(Program& p, std::string_view fileTitle, const uint16_t* fredptr, int eightbit) {
    return save_fits_file(p, fileTitle, fredptr, header_texts(p), eightbit);
}

namespace {

size_t frame_pixels(bool binned) {
    return binned ? size_t{kBinnedWidth} * kBinnedHeight : size_t{kFullWidth} * kFullHeight;
}

const char* header_card(const uint8_t* header, int number) {
    return reinterpret_cast<const char*>(header) + (number - 1) * kCardBytes;
}

// This program's own layout, told by its fixed cards: the sizes in their columns and BZERO as
// card 36 (other programs put it among the first cards). `binned` is the frame size the cards
// name, `eight_bit` the data's width.
bool own_layout(const uint8_t* header, size_t header_bytes, bool& binned, bool& eight_bit) {
    if (header_bytes < size_t{kUsedCards} * kCardBytes) return false;
    auto card = [header](int number) { return header_card(header, number); };
    eight_bit = card_columns_are(card(2), 29, " 8");
    if (!(eight_bit || card_columns_are(card(2), 29, "16")) || !card_columns_are(card(3), 30, "2"))
        return false;
    binned = card_columns_are(card(4), 28, "376");
    const bool sizes =
        binned ? card_columns_are(card(5), 28, "290")
               : card_columns_are(card(4), 28, "752") && card_columns_are(card(5), 28, "580");
    return sizes && card_columns_are(card(36), 1, "BZERO   =");
}

FitsCoding keyword_coding(const StandardFitsHeader& h) {
    FitsCoding c;
    c.offset = h.zero;
    c.standard = true;
    c.eight_bit = h.bitpix == 8;
    c.data_offset = h.data_offset;
    c.guider = h.width == kGuiderWidth;
    return c;
}

// The header of a file in this program's own layout, read by position.
void read_own_header(Program& p, const uint8_t* header) {
    auto card = [header](int number) { return header_card(header, number); };
    SettingsState& s = p.settings;
    char* const strings[] = {s.FITS_Obj, s.FITS_Tel,  s.FITS_Ins, s.FITS_Obs,
                             s.FITS_Src, s.FITS_Date, s.FITS_Time};
    for (int i = 0; i < 7; ++i) read_string(card(6 + i), strings[i], kFitsTextBytes);
    for (int i = 0; i < kFitsHistoryLines; ++i)
        read_string(card(13 + i), p.shell.process_info[i], kHistoryLineBytes);
    const char* his[kSliceCards] = {card(28), card(29), card(30), card(31)};
    const char* com[kSliceCards] = {card(32), card(33), card(34), card(35)};
    copy_text(s.FITS_His, join_slices(his));
    copy_text(s.FITS_Com, join_slices(com));
    s.FITS_SBIG = card_columns_are(card(36), 1, kUnsignedBzero) ? 1 : 0;
    card_number(card(38), s.FITS_Pixwidth);
    card_number(card(39), s.FITS_Pixheight);
    card_number(card(41), s.FITS_Exptime);
    card_number(card(42), s.FITS_Focallen);
    card_number(card(43), s.FITS_Aperture);
    read_string(card(44), s.FITS_Filter, kFitsFilterBytes);
}

// The file's coding, by its own layout or by keyword, for a frame of the size `binned` selects.
FitsDataCheck check_header(const uint8_t* header, size_t header_bytes, uint64_t length, bool binned,
                           FitsCoding& coding, bool& own) {
    bool own_binned = false, eight_bit = false;
    own = own_layout(header, header_bytes, own_binned, eight_bit);
    if (own) {
        if (own_binned != binned) return FitsDataCheck::Foreign;
        // The 8-bit data are the pixels' high bytes, whatever BZERO the format setting wrote.
        const bool unsigned_words = card_columns_are(header_card(header, 36), 1, kUnsignedBzero);
        coding = {eight_bit || unsigned_words ? 0 : kSignedOffset, eight_bit, eight_bit,
                  kFitsHeaderBytes};
        const size_t data_bytes = coding.data_bytes(frame_pixels(binned));
        return length < kFitsHeaderBytes + data_bytes ? FitsDataCheck::Short : FitsDataCheck::Ok;
    }
    StandardFitsHeader h;
    switch (check_standard_fits(header, header_bytes, length, h)) {
        case StandardFitsCheck::Ok:
            break;
        case StandardFitsCheck::Short:
            return FitsDataCheck::Short;
        case StandardFitsCheck::Foreign:
            return FitsDataCheck::Foreign;
    }
    if ((h.width == kBinnedWidth) != binned) return FitsDataCheck::Foreign;
    coding = keyword_coding(h);
    return FitsDataCheck::Ok;
}

}  // namespace

FitsDataCheck check_fits_data(const uint8_t* data, size_t length, bool binned, FitsCoding& coding) {
    bool own = false;
    return check_header(data, length, length, binned, coding, own);
}

void decode_fits_pixels(const uint8_t* src, size_t pixels, FitsCoding coding, uint16_t* dst) {
    if (coding.guider) {
        decode_standard_fits_bytes(src, coding.stored_pixels(pixels), coding.offset, dst);
        spread_guider_rows(dst);
    } else if (coding.eight_bit) {
        decode_standard_fits_bytes(src, pixels, coding.offset, dst);
    } else if (coding.standard) {
        decode_standard_fits_pixels(src, pixels, coding.offset, dst);
    } else {
        decode_be16(src, pixels, coding.offset ? kSignFlip : 0, dst);
    }
}

int load_fits_header(Program& p, const uint8_t* header, size_t header_bytes, uint64_t length,
                     FitsCoding& coding, size_t& pixels) {
    const bool binned = p.readout.binned != 0;
    pixels = frame_pixels(binned);
    bool own = false;
    switch (check_header(header, header_bytes, length, binned, coding, own)) {
        case FitsDataCheck::Ok:
            break;
        case FitsDataCheck::Short:
            return 1;
        case FitsDataCheck::Foreign:
            return 2;
    }
    Readout& r = p.readout;
    r.binned = binned ? 1 : 0;
    r.binned21 = binned ? 0 : 1;
    r.highres_intl = 0;
    r.highres_nonintl = 0;
    if (own)
        read_own_header(p, header);
    else
        read_standard_fits_texts(p, header, header_bytes);
    return 0;
}

int load_fits_bytes(Program& p, const uint8_t* data, size_t length, uint16_t* fredptr) {
    FitsCoding coding;
    size_t pixels = 0;
    if (const int result = load_fits_header(p, data, length, length, coding, pixels); result != 0)
        return result;
    decode_fits_pixels(data + coding.data_offset, pixels, coding, fredptr);
    return 0;
}

int read_fits_frame(Program& p, int fd, uint64_t length, uint16_t* fredptr) {
    // The header into the work buffer and checked; then the pixel data straight into the frame,
    // turned into pixels in place (no staging copy of the frame). Only a file cut short by
    // another program while it is read, after its length was checked, can fail past this point.
    // The header's first two blocks hold all of this program's own and most others'; the rest of
    // the probe is read only when no END card stands in them.
    uint8_t* header = p.buf->image_file;
    const size_t first = static_cast<size_t>(std::min<uint64_t>(length, kFitsHeaderBytes));
    if (!read_at(fd, header, first, 0)) return 1;
    size_t header_bytes = first;
    if (!holds_end_card(header, first)) {
        header_bytes = static_cast<size_t>(std::min<uint64_t>(length, kFitsProbeBytes));
        if (!read_at(fd, header + first, header_bytes - first, first)) return 1;
    }
    FitsCoding coding;
    size_t pixels = 0;
    if (const int result = load_fits_header(p, header, header_bytes, length, coding, pixels);
        result != 0)
        return result;
    auto* bytes = reinterpret_cast<uint8_t*>(fredptr);
    if (!read_at(fd, bytes, coding.data_bytes(pixels), coding.data_offset)) return 1;
    decode_fits_pixels(bytes, pixels, coding, fredptr);
    return 0;
}

int load_fits_file(Program& p, std::string_view fileTitle, int oldfile, uint16_t* fredptr) {
    (void)oldfile;  // always 3: the full 72-card header
    uint64_t length = 0;
    int fd = -1;
    const ReadStatus opened = open_for_reading(host_path(p, fileTitle), length, fd);
    const FileCloser file(fd);
    return opened != ReadStatus::Ok ? 1 : read_fits_frame(p, fd, length, fredptr);
}

void clear_fits_info(Program& p) {
    for (int i = 0; i < kFitsHistoryLines; ++i) copy_text(p.shell.process_info[i], "");
    SettingsState& s = p.settings;
    for (char* t : {s.FITS_Date, s.FITS_Time, s.FITS_Obj, s.FITS_Obs, s.FITS_Tel})
        copy_text(t, kFitsTextBytes, "");
    copy_text(s.FITS_Com, "");
    copy_text(s.FITS_His, "");
    copy_text(s.FITS_Ins, "Korvalen Imaging CCD");
    copy_text(s.FITS_Filter, "None");
    s.FITS_Focallen = 0;
    s.FITS_Aperture = 0;
    s.FITS_Exptime = 0;
}

}  // namespace kvr
