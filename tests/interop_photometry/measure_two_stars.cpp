// Takes a frame from the simulated camera, saves it as FITS, and measures two of its stars
// against a background patch through the photometry window, as an observer's clicks would.
// Prints what the window shows, for check_photutils.py.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/script_host.h"
#include "app/script_runner.h"
#include "app/startup.h"
#include "core/clock.h"
#include "core/program.h"
#include "files/fits_file.h"
#include "imaging/photometry.h"
#include "sim/camera_enumerator.h"

namespace {

struct Spot {
    int x = 0, y = 0;
    long value = 0;
};

// Stars whose mask stays on the image: local maxima of their 9 × 9 box below saturation,
// brightest first, at least 20 pixels apart.
std::vector<Spot> find_stars(const kvr::Program& p, int rad) {
    const int w = p.geo.width1, h = p.geo.height1, edge = 3 * rad;
    const uint16_t* img = p.buf->image_int;
    std::vector<Spot> peaks;
    for (int y = edge; y < h - edge; ++y)
        for (int x = edge; x < w - edge; ++x) {
            const uint16_t v = img[y * w + x];
            if (v > 60000) continue;
            bool top = true;
            for (int dy = -rad; dy <= rad && top; ++dy)
                for (int dx = -rad; dx <= rad && top; ++dx)
                    top = (dx == 0 && dy == 0) || img[(y + dy) * w + x + dx] < v;
            if (top) peaks.push_back({x, y, v});
        }
    std::sort(peaks.begin(), peaks.end(),
              [](const Spot& a, const Spot& b) { return a.value > b.value; });
    std::vector<Spot> chosen;
    for (const Spot& s : peaks) {
        bool apart = true;
        for (const Spot& c : chosen)
            apart = apart && std::abs(c.x - s.x) + std::abs(c.y - s.y) > 20;
        if (apart) chosen.push_back(s);
        if (chosen.size() == 2) break;
    }
    return chosen;
}

// The darkest mask-sized patch on a coarse grid: the background.
Spot find_background(const kvr::Program& p, int rad) {
    Spot best{0, 0, -1};
    for (int y = 3 * rad; y < p.geo.height1 - 3 * rad; y += 2 * rad + 1)
        for (int x = 3 * rad; x < p.geo.width1 - 3 * rad; x += 2 * rad + 1) {
            const long sum = kvr::mask_sum(p, p.buf->image_int, x, y, rad);
            if (best.value < 0 || sum < best.value) best = {x, y, sum};
        }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: measure_two_stars DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    kvr::VirtualClock clock;
    std::ostringstream log;
    kvr::ScriptHost host(log, clock, &clock);
    auto program = kvr::make_program(clock, host, dir + "/drives");
    kvr::Program& p = *program;
    kvr::sim::CameraConfig config;
    config.behaviour.download_ms_per_field = 0;
    p.devices = std::make_shared<kvr::sim::CameraEnumerator>(clock, config);
    kvr::ScriptRunner script(p, host, log);

    auto run = [&](const std::string& line) {
        std::string error;
        if (!script.run_line(line, error)) {
            std::cerr << line << ": " << error << '\n';
            std::exit(1);
        }
    };
    run("dialog 7 click 1");
    run("command 12");
    const std::string fits = dir + "/stars.fit";
    if (kvr::save_fits_file(p, fits, p.ptr.image, 0) != 0) {
        std::cerr << "cannot write " << fits << '\n';
        return 1;
    }
    const int rad = 4;
    const std::vector<Spot> stars = find_stars(p, rad);
    const Spot back = find_background(p, rad);
    if (stars.size() != 2) {
        std::cerr << "fewer than two stars on the frame\n" << log.str();
        return 1;
    }
    // Image pixels are window pixels: the picture is unscrolled at 100 %.
    run("command 14");
    run("mouse left " + std::to_string(stars[0].x) + " " + std::to_string(stars[0].y));
    run("dialog 10 click 102");
    run("mouse left " + std::to_string(stars[1].x) + " " + std::to_string(stars[1].y));
    run("dialog 10 click 103");
    run("mouse left " + std::to_string(back.x) + " " + std::to_string(back.y));
    const kvr::MeasureState& m = p.measure;
    const kvr::DialogView view = m.windows.photometry->view();
    std::cout << "fits " << fits << "\nrad " << p.guide.cur_rad << "\nobject " << m.obj_x << ' '
              << m.obj_y << ' ' << m.obj_val << "\ncomparison " << m.comp_x << ' ' << m.comp_y
              << ' ' << m.comp_val << "\nbackground " << m.back_x << ' ' << m.back_y << ' '
              << m.back_val << "\nmagnitude " << view.at(113).text << '\n';
    return 0;
}
