// Progress window and guiding information window: the values they show.
#include <cstdio>
#include <cstring>

#include "core/dialog.h"
#include "core/drive_paths.h"
#include "core/messages.h"
#include "core/program.h"

namespace kvr {

void set_progress_caption(Program& p, std::string_view caption) {
    ShellState& s = p.shell;
    const size_t n = std::min(caption.size(), sizeof s.progress_caption - 1);
    std::memset(s.progress_caption, 0, sizeof s.progress_caption);
    std::memcpy(s.progress_caption, caption.data(), n);
    s.changecaption = 1;
}

void progress_open(Program& p) {
    p.host.progress_open(p.shell.progress_caption);
}

void refresh_progress(Program& p) {
    ShellState& s = p.shell;
    if (s.changecaption) {
        const std::string title = s.progress_caption;
        s.changecaption = 0;
        p.host.progress_update(s.progress, &title);
    } else {
        p.host.progress_update(s.progress, nullptr);
    }
}

void progress_close(Program& p) {
    p.host.progress_close();
}

void info_open(Program& p) {
    p.info_window_open = true;
    p.host.info_open(p.shell.info_caption);
}

void refresh_info_caption(Program& p) {
    if (p.info_window_open) p.host.info_open(p.shell.info_caption);
}

void refresh_info_window(Program& p) {
    const GuideState& g = p.guide;
    InfoWindowView v;
    v.caption = p.shell.info_caption;
    v.fields[0] = one_decimal(g.xcent + 0.1 * g.xcentdec);
    v.fields[1] = one_decimal(g.ycent + 0.1 * g.ycentdec);
    v.fields[2] = one_decimal(g.x3 * 0.001);
    v.fields[3] = one_decimal(g.y3 * 0.001);
    v.has_frame = p.shell.got_guide_image != 0;
    if (v.has_frame) {
        v.frame_bitmap_path = map_drive_path(p.drive_root, "c:\\kvr_q4f.bmp");
        const int x = g.x1, y = g.y1;
        const int h[4] = {x + 59, y + 66, x + 99, y + 66};
        const int vert[4] = {x + 79, y + 46, x + 79, y + 86};
        std::copy(h, h + 4, v.cross_h);
        std::copy(vert, vert + 4, v.cross_v);
    }
    p.host.info_update(v);
}

void info_stopped(Program& p) {
    // The window keeps its last frame and figures; it no longer follows captions or values.
    p.info_window_open = false;
}

void info_close(Program& p) {
    if (!p.info_window_open) return;
    p.info_window_open = false;
    p.host.info_close();
}

bool info_is_open(const Program& p) {
    return p.info_window_open;
}

}  // namespace kvr
