#include "core/image_store.h"

#include <algorithm>

#include "core/program.h"

namespace kvr {

void Buffers::register_in(Registry& r) {
    auto buffer = [&r](const char* name, const void* p, size_t bytes) {
        r.add_buffer(name, p, bytes);
    };
    buffer("image_int", image_int, sizeof image_int);
    buffer("trial_int", trial_int, sizeof trial_int);
    buffer("undo_int", undo_int, sizeof undo_int);
    buffer("save_int", save_int, sizeof save_int);
    buffer("comparison_int", comparison_int, sizeof comparison_int);
    buffer("image_guider_int", image_guider_int, sizeof image_guider_int);
    buffer("trial_guider_int", trial_guider_int, sizeof trial_guider_int);
    buffer("guider_darkframe_int", guider_darkframe_int, sizeof guider_darkframe_int);
    buffer("guider_unfiltered_int", guider_unfiltered_int, sizeof guider_unfiltered_int);
    buffer("ReportBuffer", ReportBuffer, sizeof ReportBuffer);
    buffer("camdata", camdata, sizeof camdata);
}

void reset_buffer_pointers(Program& p) {
    Buffers& b = *p.buf;
    ImagePointers& q = p.ptr;
    q.image = b.image_int;
    q.trial = b.trial_int;
    q.undo = b.undo_int;
    q.save = b.save_int;
    q.comparison = b.comparison_int;
    q.guider_image = b.image_guider_int;
    q.guider_trial = b.trial_guider_int;
    q.guider_darkframe = b.guider_darkframe_int;
    q.imageptr = q.image;
    q.intimageptr = q.image;
    q.charimageptr = reinterpret_cast<uint8_t*>(q.image);
    q.guider_imageptr = q.guider_image;
    q.charguiderimageptr = reinterpret_cast<uint8_t*>(q.guider_image);
    q.guider_trialptr = q.guider_trial;
    q.guider_darkframeptr = q.guider_darkframe;
}

void set_readout_geometry(Program& p) {
    Geometry& g = p.geo;
    const bool small = p.readout.binned != 0;
    const int w = small ? kBinnedWidth : kFullWidth;
    const int h = small ? kBinnedHeight : kFullHeight;
    g.width1 = w;
    g.width1_10 = 10 * w;
    g.width2 = w - 1;
    g.width3 = 2 * w;
    g.width1f = static_cast<float>(w);
    g.height1 = h;
    g.height2 = h - 1;
    g.height2f = static_cast<float>(h - 1);
    g.height1f = static_cast<float>(h);
    g.intlength = w * h + kFrameSpare;
    g.writefile16 = g.intlength / 16;
    if (!small) {
        p.display.Big = 0;
        p.display.Geo = 0;
    }
}

void write_startup_test_image(Program& p) {
    const int w = p.geo.width1;
    const int h = p.geo.height1;
    for (int r = 0; r < h; ++r) {
        const uint16_t v = static_cast<uint16_t>(r * 225);
        for (int c = 0; c < w; ++c) {
            const int i = r * w + c;
            p.ptr.image[i] = v;
            p.ptr.trial[i] = v;
            p.ptr.undo[i] = v;
            p.ptr.save[i] = 0;
        }
    }
    for (int r = 0; r < kGuiderHeight; ++r) {
        const uint16_t v = static_cast<uint16_t>(r * 200);
        std::fill_n(p.ptr.guider_image + r * kGuiderWidth, kGuiderWidth, v);
        std::fill_n(p.ptr.guider_darkframe + r * kGuiderWidth, kGuiderWidth, uint16_t{0});
    }
    p.buf->guider_unfiltered_valid = false;
}

}  // namespace kvr
