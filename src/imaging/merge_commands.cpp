#include "imaging/merge_commands.h"

#include <cstring>

#include "core/busy_cursor.h"
#include "core/history.h"
#include "core/messages.h"
#include "core/program.h"
#include "files/file_dialogs.h"
#include "imaging/arithmetic.h"
#include "imaging/header_band.h"

namespace kvr {

namespace {

// The flat field's progress starts at the first row of the normalisation window.
constexpr int kFlatFieldFirstProgress = 10;

// Divides the image by the flat in the working buffer, normalised to the flat's mean; row 0,
// and the label band when there is one, are left alone.
void flat_field_from_trial(Program& p) {
    set_progress_caption(p, "FLAT FIELD PROGRESS");
    progress_open(p);
    p.shell.progress = kFlatFieldFirstProgress;
    const double mean = flat_field_mean(p.geo, p.ptr.trial);
    const int first = has_header_band(p.ptr.image) ? kHeaderBandRows + 1 : 1;
    for (int row = first; row < p.geo.height1; ++row, ++p.shell.progress) {
        refresh_progress(p);
        do_flat_field(p.geo, p.ptr.image, p.ptr.trial, mean, row);
    }
    progress_close(p);
    append_history(p, "Flat Field Applied");
}

}  // namespace

void merge_image(Program& p) {
    if (select_image_file(p) != SelectResult::Loaded) return;
    BusyCursor busy(p);
    undo_save_option(p);
    switch (p.processing.merge_type) {
        case 'a':
            do_average_image(p.geo, p.ptr.image, p.ptr.trial);
            break;
        case 's':
            do_subtract_image(p.geo, p.ptr.image, p.ptr.trial);
            append_history(p, "Dark Frame Subtracted");
            break;
        case 'f':
            flat_field_from_trial(p);
            break;
        default:
            return;
    }
    refresh_display(p);
}

void subtract_image(Program& p) {
    p.processing.merge_type = 's';
    merge_image(p);
}

void average_image(Program& p) {
    p.processing.merge_type = 'a';
    merge_image(p);
}

void apply_flat_field(Program& p) {
    p.processing.merge_type = 'f';
    merge_image(p);
}

void undo_restore_option(Program& p) {
    restore_image(p.geo, p.ptr.image, p.ptr.undo);
    refresh_display(p);
    const int lines = history_length(p);
    if (lines > 0) std::memset(p.shell.process_info[lines - 1], 0, kHistoryLineBytes);
}

void mirror_main_image(Program& p) {
    BusyCursor busy(p);
    mirror_image(p.geo, p.ptr.image, p.ptr.trial);
    refresh_display(p);
}

std::span<const CommandRow> arithmetic_command_rows() {
    static constexpr CommandRow kRows[] = {
        {Cmd::Undo, "undo_restore_option", undo_restore_option, "&Undo Last Filter\tCTL+U",
         "Ctrl+U"},
        {Cmd::Mirror, "mirror_main_image", mirror_main_image, "&Mirror Image"},
        {Cmd::SubtractImage, "subtract_image", subtract_image, "&Subtract Image (Dark Frame)", "",
         110, "Subtract an image"},
        {Cmd::AverageImage, "average_image", average_image, "Average &with current Image"},
        {Cmd::ApplyFlatField, "apply_flat_field", apply_flat_field, "Apply &Flat Field", "", 115,
         "Flat field the image"},
    };
    return kRows;
}

}  // namespace kvr
