#include "files/settings_file.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/host.h"
#include "core/program.h"
#include "core/version.h"
#include "files/file_io.h"
#include "files/file_replacement.h"
#include "files/fits_cards.h"
#include "files/time_zone.h"

namespace kvr {

namespace {

constexpr int kCardRecordBytes = kCardBytes;
constexpr int kText100Bytes = 100;
// Guider and AO rates of 50 or more are stored as these.
constexpr int kLargeRateLimit = 50;
constexpr int kLargeRateStored = 10;
constexpr int kMaxRaBacklash = 20;
constexpr int kMaxGuiderRaBacklash = 30;
constexpr int kDefaultMaxFilters = 7;

int capped_rate(int v, int stored_instead = kLargeRateStored) {
    return v >= kLargeRateLimit ? stored_instead : v;
}

int16_t truncated_theta(float theta) {
    if (!std::isfinite(theta)) return 0;
    const float t = std::trunc(theta);
    return static_cast<int16_t>(t < -32768.f ? -32768.f : (t > 32767.f ? 32767.f : t));
}

class RecordWriter {
  public:
    explicit RecordWriter(uint8_t* out) : out_(out) {}
    void i16(int v) {
        const uint16_t u = static_cast<uint16_t>(v);
        out_[at_++] = static_cast<uint8_t>(u & 0xff);
        out_[at_++] = static_cast<uint8_t>(u >> 8);
    }
    void yn(int v) { out_[at_++] = v ? 'y' : 'n'; }
    void digit(int v) { out_[at_++] = v == 1 ? '1' : '0'; }
    void ch(char c) { out_[at_++] = static_cast<uint8_t>(c); }
    void dbl(double d) {
        uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        for (int i = 0; i < 8; ++i) out_[at_++] = static_cast<uint8_t>(bits >> (8 * i));
    }
    void card(std::string_view prefix, std::string_view text) {
        string_card(reinterpret_cast<char*>(out_ + at_), prefix, text);
        at_ += kCardRecordBytes;
    }
    void slices(std::string_view prefix, std::string_view text) {
        for (int i = 0; i < kSliceCards; ++i) {
            text.remove_prefix(slice_card(reinterpret_cast<char*>(out_ + at_), prefix, text));
            at_ += kCardRecordBytes;
        }
    }
    // The text, its NUL, then spaces.
    void text100(std::string_view text) {
        std::memset(out_ + at_, ' ', kText100Bytes);
        std::memcpy(out_ + at_, text.data(), text.size());
        out_[at_ + text.size()] = '\0';
        at_ += kText100Bytes;
    }
    void raw(const char* bytes, size_t count) {
        std::memcpy(out_ + at_, bytes, count);
        at_ += count;
    }
    size_t size() const { return at_; }

  private:
    uint8_t* out_;
    size_t at_ = 0;
};

class RecordReader {
  public:
    RecordReader(const uint8_t* in, size_t length) : in_(in), length_(length) {}
    // Each returns false at a short read.
    bool bytes(size_t count, const uint8_t*& at) {
        if (at_ + count > length_) return false;
        at = in_ + at_;
        at_ += count;
        return true;
    }
    bool byte(uint8_t& b) {
        const uint8_t* at = nullptr;
        if (!bytes(1, at)) return false;
        b = *at;
        return true;
    }
    bool u16(uint16_t& v) {
        const uint8_t* at = nullptr;
        if (!bytes(2, at)) return false;
        v = static_cast<uint16_t>(at[0] | (at[1] << 8));
        return true;
    }
    bool i16(int& v) {
        uint16_t u = 0;
        if (!u16(u)) return false;
        v = static_cast<int16_t>(u);
        return true;
    }
    bool yn(int& v) {
        uint8_t b = 0;
        if (!byte(b)) return false;
        v = b == 'y' ? 1 : 0;
        return true;
    }
    bool ch(char& c) {
        uint8_t b = 0;
        if (!byte(b)) return false;
        c = static_cast<char>(b);
        return true;
    }
    bool dbl(double& d) {
        const uint8_t* at = nullptr;
        if (!bytes(8, at)) return false;
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= uint64_t{at[i]} << (8 * i);
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        // A value that is not a number would end up in every FITS header; keep the old one.
        if (std::isfinite(v)) d = v;
        return true;
    }
    template <size_t N>
    bool card(char (&dest)[N]) {
        const uint8_t* at = nullptr;
        if (!bytes(kCardRecordBytes, at)) return false;
        copy_text(dest, card_text(reinterpret_cast<const char*>(at)));
        return true;
    }
    template <size_t N>
    bool slices(char (&dest)[N]) {
        dest[0] = '\0';
        const char* cards[kSliceCards];
        for (auto& c : cards) {
            const uint8_t* at = nullptr;
            if (!bytes(kCardRecordBytes, at)) return false;
            c = reinterpret_cast<const char*>(at);
        }
        copy_text(dest, join_slices(cards));
        return true;
    }
    // The text up to its NUL. Older files without a NUL end the text at a single quote.
    bool text100(std::string& out) {
        const uint8_t* at = nullptr;
        if (!bytes(kText100Bytes, at)) return false;
        const char* t = reinterpret_cast<const char*>(at);
        const void* nul = std::memchr(t, '\0', kText100Bytes);
        size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - t) : kText100Bytes;
        if (!nul) {
            const void* quote = std::memchr(t + 1, '\'', kText100Bytes - 1);
            if (quote) n = static_cast<size_t>(static_cast<const char*>(quote) - t);
        }
        out.assign(t, n < kAutoSaveSubdirBytes - 1 ? n : kAutoSaveSubdirBytes - 1);
        return true;
    }
    bool name10(char* dest) {
        const uint8_t* at = nullptr;
        if (!bytes(kFilterNameBytes, at)) return false;
        const char* t = reinterpret_cast<const char*>(at);
        copy_text(dest, kFilterNameBytes, std::string_view(t, strnlen(t, kFilterNameBytes)));
        return true;
    }

  private:
    const uint8_t* in_;
    size_t length_;
    size_t at_ = 0;
};

enum class Applied { Ok, Short, Stop, BadFastPar };

void set_background(Program& p) {
    const char back = p.settings.default_back;
    const int grey = back == 'l' ? 192 : 90;
    const bool red = back != 'l' && back != 'g';
    p.display.back_r = red ? 120 : grey;
    p.display.back_g = red ? 40 : grey;
    p.display.back_b = red ? 40 : grey;
}

bool digit_flag(uint8_t b, int& out) {
    if (b != '0' && b != '1') return false;
    out = b == '1';
    return true;
}

// Records 1–20: numbers and single characters, with the plausibility stops.
Applied apply_options(Program& p, RecordReader& r) {
    SettingsState& s = p.settings;
    uint16_t u = 0;
    int v = 0;
    uint8_t b = 0;
    if (!r.u16(u)) return Applied::Short;
    s.auto_save_num = u;
    if (!r.i16(s.FITS_Diff) || !r.byte(b)) return Applied::Short;
    if (b != 'y' && b != 'n') return Applied::BadFastPar;
    s.fast_par = b == 'y';
    if (!r.i16(s.default_port) || !r.i16(s.star_mask) || !r.i16(s.default_speed) || !r.i16(v))
        return Applied::Short;
    s.slewcom = v >= 1 && v <= 4 ? static_cast<char>('0' + v) : '5';
    if (!r.i16(s.slewdefault) || !r.ch(s.default_back)) return Applied::Short;
    set_background(p);
    if (!r.byte(b)) return Applied::Short;
    s.focus_delay = b == '1';
    if (!r.i16(s.slewx) || !r.i16(s.slewy) || !r.i16(v)) return Applied::Short;
    if (v < 0 || v > kMaxRaBacklash) return Applied::Stop;
    s.backlashx = v;
    if (!r.i16(s.backlashy) || !r.byte(b)) return Applied::Short;
    if (!digit_flag(b, s.ignore_small)) return Applied::Stop;
    if (!r.byte(b)) return Applied::Short;
    if (b != 'l' && b != 'n' && b != 'b') return Applied::Stop;
    p.scope.telescope = static_cast<char>(b);
    if (!r.byte(b)) return Applied::Short;
    if (!digit_flag(b, s.disable_interrupts)) return Applied::Stop;
    if (!r.i16(s.hystx) || !r.i16(s.hysty)) return Applied::Short;
    const uint8_t* d = nullptr;
    if (!r.bytes(4, d)) return Applied::Short;
    if (!(d[2] == 'e' || d[2] == 'w' || d[3] == 'e' || d[3] == 'w')) return Applied::Stop;
    s.n = static_cast<char>(d[0]);
    s.s = static_cast<char>(d[1]);
    s.e = static_cast<char>(d[2]);
    s.w = static_cast<char>(d[3]);
    return Applied::Ok;
}

// Records 21–56: header texts, flags, the auto-save folder, guider values and filter names.
Applied apply_header_and_guider(Program& p, RecordReader& r) {
    SettingsState& s = p.settings;
    if (!r.card(s.FITS_Obj) || !r.card(s.FITS_Tel) || !r.card(s.FITS_Ins) || !r.card(s.FITS_Obs) ||
        !r.card(s.FITS_Src) || !r.slices(s.FITS_His) || !r.slices(s.FITS_Com) ||
        !r.card(s.FITS_Filter) || !r.dbl(s.FITS_Aperture) || !r.dbl(s.FITS_Focallen) ||
        !r.yn(s.FITS_SBIG) || !r.yn(s.Mk2_fast_par) || !r.yn(p.readout.apply_correction) ||
        !r.yn(s.Losmandy_pause) || !r.yn(s.gotcontrolbox) || !r.yn(s.Debug_Mode))
        return Applied::Short;
    uint16_t u = 0;
    if (!r.u16(u)) return Applied::Short;
    s.pause_secs = u;
    std::string subdir;
    if (!r.text100(subdir)) return Applied::Short;
    copy_text(s.auto_save_subdir, subdir);
    copy_text(s.auto_save_dir, subdir.empty() ? std::string("c:\\AUTOSAVE") : subdir);
    int v = 0;
    if (!r.i16(s.guider_slewx) || !r.i16(s.guider_slewy) || !r.i16(v)) return Applied::Short;
    if (v < 0 || v > kMaxGuiderRaBacklash) return Applied::Stop;
    s.guider_backlashx = v;
    if (!r.i16(s.guider_backlashy) || !r.i16(s.guider_hystx) || !r.i16(s.guider_hysty) ||
        !r.yn(s.ignore_backlash) || !r.yn(s.filter_wheel) || !r.i16(v))
        return Applied::Short;
    s.guider_theta = static_cast<float>(v);
    if (!r.yn(s.ignore_RA_angle) || !r.i16(v)) return Applied::Short;
    // The filter names are indexed up to Max_Filters: keep it within the eight that exist.
    s.Max_Filters = v >= 1 && v <= kFilterNames ? v : kDefaultMaxFilters;
    for (auto& name : s.Filterbox_Filter_Name)
        if (!r.name10(name)) return Applied::Short;
    return Applied::Ok;
}

// Records 57–92: the saved exposure values (applied only with use_saved_values), AO unit and
// mount-bump settings.
Applied apply_exposure_and_ao(Program& p, RecordReader& r) {
    SettingsState& s = p.settings;
    if (!r.yn(s.use_saved_values)) return Applied::Short;
    uint16_t exp_value = 0, continuous_delay = 0;
    char exp_range = 0;
    int flags[9] = {};
    if (!r.u16(exp_value) || !r.u16(continuous_delay) || !r.ch(exp_range)) return Applied::Short;
    for (int& f : flags)
        if (!r.yn(f)) return Applied::Short;
    if (s.use_saved_values == 1) {
        p.run.exp_value = exp_value;
        s.continuous_delay = continuous_delay;
        p.run.exp_range = exp_range;
        int* targets[9] = {
            &s.exposure_delay,   &p.run.continuous,       &s.auto_save_fits,
            &s.darkframe_remove, &s.flatfield_remove,     &p.readout.binned,
            &p.readout.binned21, &p.readout.highres_intl, &p.readout.highres_nonintl};
        for (int i = 0; i < 9; ++i) *targets[i] = flags[i];
    }
    if (!r.yn(p.link.ignore_pid) || !r.i16(s.AOUnit_slewx) || !r.i16(s.AOUnit_slewy) ||
        !r.i16(s.AOUnit_xrate) || !r.i16(s.AOUnit_yrate) || !r.yn(s.AOUnitModeParallel) ||
        !r.i16(s.AOUnit_comport) || !r.ch(s.GuiderMode) || !r.ch(s.AOn) || !r.ch(s.AOs) ||
        !r.ch(s.AOe) || !r.ch(s.AOw) || !r.yn(s.AOUnit_available) || !r.yn(s.AOUnit_halfrate) ||
        !r.i16(s.PC_port) || !r.ch(s.Mn) || !r.ch(s.Ms) || !r.ch(s.Mt) || !r.ch(s.Mw) ||
        !r.yn(s.ignore_north) || !r.yn(s.ignore_south) || !r.i16(s.ignore_amount) ||
        !r.yn(s.tifswitch))
        return Applied::Short;
    return Applied::Ok;
}

Applied apply_records(Program& p, const uint8_t* data, size_t length) {
    RecordReader r(data, length);
    for (auto part : {apply_options, apply_header_and_guider, apply_exposure_and_ao}) {
        const Applied a = part(p, r);
        if (a != Applied::Ok) return a;
    }
    return Applied::Ok;
}

void make_settings_folder(const Program& p, std::string_view path, bool& created) {
    std::error_code ec;
    created = std::filesystem::create_directory(host_path(p, file_folder(path)), ec);
}

}  // namespace

void encode_settings(const Program& p, uint8_t out[kSettingsFileBytes]) {
    const SettingsState& s = p.settings;
    RecordWriter w(out);
    w.i16(static_cast<int>(s.auto_save_num));
    w.i16(s.FITS_Diff);
    w.yn(s.fast_par);
    w.i16(s.default_port);
    w.i16(s.star_mask);
    w.i16(s.default_speed);
    w.i16(s.slewcom >= '1' && s.slewcom <= '4' ? s.slewcom - '0' : 5);
    w.i16(s.slewdefault);
    w.ch(s.default_back);
    w.digit(s.focus_delay);
    for (int v : {s.slewx, s.slewy, s.backlashx, s.backlashy}) w.i16(v);
    w.digit(s.ignore_small);
    w.ch(p.scope.telescope);
    w.digit(s.disable_interrupts);
    w.i16(s.hystx);
    w.i16(s.hysty);
    for (char c : {s.n, s.s, s.e, s.w}) w.ch(c);
    w.card("OBJECT  = '", text_of(s.FITS_Obj));
    w.card("TELESCOP= '", text_of(s.FITS_Tel));
    w.card("INSTRUME= '", text_of(s.FITS_Ins));
    w.card("OBSERVER= '", text_of(s.FITS_Obs));
    w.card("ORIGIN  = '", text_of(s.FITS_Src));
    w.slices("HISTORY = '", text_of(s.FITS_His));
    w.slices("COMMENT = '", text_of(s.FITS_Com));
    w.card("FILTER  = '", text_of(s.FITS_Filter));
    w.dbl(s.FITS_Aperture);
    w.dbl(s.FITS_Focallen);
    for (int v : {s.FITS_SBIG, s.Mk2_fast_par, p.readout.apply_correction, s.Losmandy_pause,
                  s.gotcontrolbox, s.Debug_Mode})
        w.yn(v);
    w.i16(s.pause_secs);
    w.text100(text_of(s.auto_save_subdir));
    w.i16(capped_rate(s.guider_slewx));
    w.i16(capped_rate(s.guider_slewy));
    w.i16(capped_rate(s.guider_backlashx));
    w.i16(capped_rate(s.guider_backlashy, 0));
    w.i16(capped_rate(s.guider_hystx));
    w.i16(capped_rate(s.guider_hysty));
    w.yn(s.ignore_backlash);
    w.yn(s.filter_wheel);
    w.i16(truncated_theta(s.guider_theta));
    w.yn(s.ignore_RA_angle);
    w.i16(s.Max_Filters);
    for (const auto& name : s.Filterbox_Filter_Name) w.raw(name, kFilterNameBytes);
    w.yn(s.use_saved_values);
    w.i16(p.run.exp_value);
    w.i16(s.continuous_delay);
    w.ch(p.run.exp_range);
    for (int v : {s.exposure_delay, p.run.continuous, s.auto_save_fits, s.darkframe_remove,
                  s.flatfield_remove, p.readout.binned, p.readout.binned21, p.readout.highres_intl,
                  p.readout.highres_nonintl, p.link.ignore_pid})
        w.yn(v);
    for (int v : {s.AOUnit_slewx, s.AOUnit_slewy, s.AOUnit_xrate, s.AOUnit_yrate})
        w.i16(capped_rate(v));
    w.yn(s.AOUnitModeParallel);
    w.i16(s.AOUnit_comport);
    for (char c : {s.GuiderMode, s.AOn, s.AOs, s.AOe, s.AOw}) w.ch(c);
    w.yn(s.AOUnit_available);
    w.yn(s.AOUnit_halfrate);
    w.i16(s.PC_port);
    for (char c : {s.Mn, s.Ms, s.Mt, s.Mw}) w.ch(c);
    w.yn(s.ignore_north);
    w.yn(s.ignore_south);
    w.i16(s.ignore_amount);
    w.yn(s.tifswitch);
}

int save_ini_file(Program& p, std::string_view path) {
    bool created = false;
    make_settings_folder(p, path, created);
    uint8_t bytes[kSettingsFileBytes];
    encode_settings(p, bytes);
    const bool written = replace_file(host_path(p, path), bytes, sizeof bytes);
    if (!written) return 3;
    apply_time_zone(p);
    return 0;
}

int load_settings_bytes(Program& p, const uint8_t* data, size_t length, std::string_view path) {
    switch (apply_records(p, data, length)) {
        case Applied::Ok:
            apply_time_zone(p);
            return 0;
        case Applied::Short:
            return 2;
        case Applied::BadFastPar: {
            MessageBox box;
            box.caption = kMessageCaption;
            box.text = "Failed to read fast_par value";
            p.host.message_box(box);
            return 2;
        }
        case Applied::Stop:
            return save_ini_file(p, path);
    }
    return 2;
}

int load_ini_file(Program& p, std::string_view path) {
    bool created = false;
    make_settings_folder(p, path, created);
    if (created) return save_ini_file(p, path);
    uint8_t bytes[kSettingsFileBytes];
    size_t got = 0;
    if (read_file(host_path(p, path), bytes, sizeof bytes, got) != ReadStatus::Ok) return 2;
    return load_settings_bytes(p, bytes, got, path);
}

}  // namespace kvr
