#include "files/image_files.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/messages.h"
#include "core/program.h"
#include "files/byte_order.h"
#include "files/file_io.h"
#include "files/file_replacement.h"
#include "files/fits_file.h"
#include "files/fits_keywords.h"
#include "files/image_file_kinds.h"

namespace kvr {

namespace {

size_t frame_pixels(bool binned) {
    return binned ? size_t{kBinnedWidth} * kBinnedHeight : size_t{kFullWidth} * kFullHeight;
}

// The readout mode and geometry a failed load must leave as they were.
struct FrameState {
    int binned, binned21, highres_intl, highres_nonintl, Big, Geo;

    static FrameState of(const Program& p) {
        const Readout& r = p.readout;
        return {r.binned,          r.binned21,    r.highres_intl,
                r.highres_nonintl, p.display.Big, p.display.Geo};
    }
    void restore(Program& p) const {
        Readout& r = p.readout;
        r.binned = binned;
        r.binned21 = binned21;
        r.highres_intl = highres_intl;
        r.highres_nonintl = highres_nonintl;
        set_readout_geometry(p);
        p.display.Big = Big;
        p.display.Geo = Geo;
    }
};

// The header texts and name of the image on screen, which a failed load must not touch: the next
// save would otherwise write the old pixels under emptied or foreign headers.
struct HeaderTexts {
    SettingsStateFields settings;
    char process_info[kHistoryLines][kHistoryLineBytes];
    char image_name[sizeof ShellState::image_name];

    explicit HeaderTexts(const Program& p) : settings(p.settings) {
        std::memcpy(process_info, p.shell.process_info, sizeof process_info);
        std::memcpy(image_name, p.shell.image_name, sizeof image_name);
    }
    void restore(Program& p) const {
        static_cast<SettingsStateFields&>(p.settings) = settings;
        std::memcpy(p.shell.process_info, process_info, sizeof process_info);
        std::memcpy(p.shell.image_name, image_name, sizeof image_name);
    }
};

struct WaitCursor {
    explicit WaitCursor(Program& p) : p_(p) { p_.host.set_wait_cursor(true); }
    ~WaitCursor() { p_.host.set_wait_cursor(false); }
    Program& p_;
};

enum class FileRead { Ok, NotAFile, Missing, WrongLength, Unreadable, Short };

// The file's length and kind, and the file opened for reading. A length none of this program's
// files has is looked into: the start of the file goes into `head` (kFitsProbeBytes) to find a
// FITS image there.
FileRead open_image_file(const std::string& host, uint8_t* head, ImageFileKind& kind,
                         uint64_t& length, int& fd) {
    switch (open_for_reading(host, length, fd)) {
        case ReadStatus::Ok:
            break;
        case ReadStatus::NotAFile:
            return FileRead::NotAFile;
        case ReadStatus::Missing:
            return FileRead::Missing;
        case ReadStatus::Unreadable:
            // A length no image file has is the first thing wrong with it.
            kind = image_file_kind(length);
            return kind == ImageFileKind::Unknown ? FileRead::WrongLength : FileRead::Unreadable;
    }
    kind = image_file_kind(length);
    if (kind == ImageFileKind::Unknown) {
        const size_t head_bytes = static_cast<size_t>(std::min<uint64_t>(length, kFitsProbeBytes));
        if (read_at(fd, head, head_bytes, 0)) kind = image_file_kind(length, head, head_bytes);
    }
    if (kind != ImageFileKind::Unknown) return FileRead::Ok;
    ::close(fd);
    fd = -1;
    return FileRead::WrongLength;
}

// Reads the whole file into the work buffer after checking its kind; of a longer file (a FITS
// image with a long header or more after its data) as much as the buffer holds.
FileRead read_image_file(Program& p, std::string_view fileName, ImageFileKind& kind, size_t& got) {
    uint64_t length = 0;
    int fd = -1;
    const FileRead opened =
        open_image_file(host_path(p, fileName), p.buf->image_file, kind, length, fd);
    const FileCloser file(fd);
    if (opened != FileRead::Ok) return opened;
    got = static_cast<size_t>(std::min<uint64_t>(length, kImageFileBufferBytes));
    return read_at(fd, p.buf->image_file, got, 0) ? FileRead::Ok : FileRead::Short;
}

}  // namespace

FrameLoad load_frame_bytes(const uint8_t* data, size_t length, bool binned, uint16_t* native_dst,
                           uint16_t* fits_dst) {
    const ImageFileKind kind = image_file_kind(length, data, length);
    if (kind == ImageFileKind::Unknown || is_binned(kind) != binned) return FrameLoad::WrongLength;
    if (!is_fits(kind)) {
        decode_le16(data, frame_pixels(binned), native_dst);
        return FrameLoad::Loaded;
    }
    FitsCoding coding;
    if (check_fits_data(data, length, binned, coding) != FitsDataCheck::Ok)
        return FrameLoad::BadContent;
    decode_fits_pixels(data + coding.data_offset, frame_pixels(binned), coding, fits_dst);
    return FrameLoad::Loaded;
}

FrameLoad load_frame_file(Program& p, std::string_view fileName, uint16_t* native_dst,
                          uint16_t* fits_dst) {
    ImageFileKind kind = ImageFileKind::Unknown;
    size_t got = 0;
    switch (read_image_file(p, fileName, kind, got)) {
        case FileRead::Ok:
            break;
        case FileRead::NotAFile:
        case FileRead::Unreadable:
            return FrameLoad::CannotOpen;
        case FileRead::Missing:
        case FileRead::WrongLength:
            return FrameLoad::WrongLength;
        case FileRead::Short:
            return FrameLoad::BadContent;
    }
    return load_frame_bytes(p.buf->image_file, got, p.readout.binned != 0, native_dst, fits_dst);
}

bool load_kv_file(Program& p, std::string_view fileName) {
    const HeaderTexts texts_before(p);
    copy_text(p.shell.image_name, file_title(fileName));
    WaitCursor busy(p);
    ImageFileKind kind = ImageFileKind::Unknown;
    uint64_t length = 0;
    int fd = -1;
    FileRead read = open_image_file(host_path(p, fileName), p.buf->image_file, kind, length, fd);
    const FileCloser file(fd);
    // A native file is read whole here; a FITS file's header is checked before its pixels are
    // read straight into the image.
    if (read == FileRead::Ok && !is_fits(kind) && !read_at(fd, p.buf->image_file, length, 0))
        read = FileRead::Short;
    if (read != FileRead::Ok) {
        texts_before.restore(p);
        messages(p, read == FileRead::NotAFile ? Msg::QxOpenFailed : Msg::NotQxOrFits);
        return false;
    }
    const FrameState before = FrameState::of(p);
    clear_fits_info(p);
    Readout& r = p.readout;
    r.highres_nonintl = 0;
    r.highres_intl = 0;
    r.binned21 = is_binned(kind) ? 0 : 1;
    r.binned = is_binned(kind) ? 1 : 0;
    set_readout_geometry(p);
    if (is_fits(kind)) {
        const int result = read_fits_frame(p, fd, length, p.ptr.image);
        if (result != 0) {
            before.restore(p);
            texts_before.restore(p);
            messages(p, result == 1 ? Msg::FitsUnreadable : Msg::FitsForeign);
            return false;
        }
    } else {
        decode_le16(p.buf->image_file, frame_pixels(r.binned != 0), p.ptr.image);
    }
    refresh_display(p);
    if (p.settings.merging) p.host.repaint();
    return true;
}

bool save_kv_file(Program& p, std::string_view fileName) {
    const std::string host = host_path(p, fileName);
    uint64_t length = 0;
    if (host.empty() || file_length(host, length) == ReadStatus::NotAFile) {
        messages(p, Msg::QxSaveFailed);
        return false;
    }
    WaitCursor busy(p);
    const size_t pixels = size_t(p.geo.width1) * size_t(p.geo.height1);
    uint8_t* out = p.buf->image_file;
    encode_le16(p.ptr.image, pixels, out);
    if (!replace_file(host, out, 2 * pixels)) {
        messages(p, Msg::QxWriteFailed);
        return false;
    }
    return true;
}

int trial_load(Program& p, uint16_t* trialptr, uint16_t* trialintptr, std::string_view fileName) {
    switch (load_frame_file(p, fileName, trialptr, trialintptr)) {
        case FrameLoad::Loaded:
            return 0;
        case FrameLoad::CannotOpen:
            return 1;
        case FrameLoad::WrongLength:
            return 2;
        case FrameLoad::BadContent:
            return 12;
    }
    return 12;
}

int load_kv_temp_file(Program& p, std::string_view fileName) {
    WaitCursor busy(p);
    const int result = trial_load(p, p.ptr.trial, p.ptr.trial, fileName);
    if (result == 0) return 0;
    // A header for another frame size or a short read is as unusable as a wrong length; the
    // working image is left as it was.
    messages(p, result == 1 ? Msg::QxOpenFailed : Msg::NotValidQx);
    return 1;
}

int load_comparison_file(Program& p, uint16_t* comparisonptr, uint16_t* comparisonintptr) {
    const FrameLoad r =
        load_frame_file(p, text_of(p.settings.ComparisonFileName), comparisonptr, comparisonintptr);
    if (r == FrameLoad::Loaded) return 0;
    return r == FrameLoad::CannotOpen ? 11 : 12;
}

}  // namespace kvr
