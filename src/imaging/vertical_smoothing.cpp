#include "imaging/vertical_smoothing.h"

#include "core/history.h"
#include "core/program.h"
#include "imaging/arithmetic.h"
#include "imaging/header_band.h"

namespace kvr {

void venetian_blind(Program& p, uint16_t* image, uint16_t* undo) {
    undo_image(p.geo, image, undo);
    const int w = p.geo.width1;
    const int s = has_header_band(image) ? kHeaderBandRows : 0;
    const int cols = p.geo.width2;  // columns 0 … width2 − 1
    p.processing.venetian_flipflop = !p.processing.venetian_flipflop;
    auto average_rows = [&](int y, int other) {
        uint16_t* out = image + y * w;
        const uint16_t* a = undo + y * w;
        const uint16_t* b = undo + other * w;
        for (int x = 0; x < cols; ++x) out[x] = static_cast<uint16_t>((unsigned{a[x]} + b[x]) >> 1);
    };
    if (p.processing.venetian_flipflop) {
        for (int y = s; y <= p.geo.height1 - 2; ++y) average_rows(y, y + 1);
    } else {
        for (int y = p.geo.height1 - 1; y >= s + 1; --y) average_rows(y, y - 1);
    }
    append_history(p, "Vertical Smoothing Filter");
}

}  // namespace kvr
