// Writes every FITS variant this program produces into a directory, for the independent
// readers: binned and full frames, 16 and 8 bits, signed and unsigned format, and a full
// 16-bit frame cut to the standard length. Pixels follow pattern_pixel(); the header texts are
// the ones the readers check.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "app/script_host.h"
#include "app/startup.h"
#include "core/clock.h"
#include "core/program.h"
#include "files/file_io.h"
#include "files/file_test_support.h"
#include "files/fits_file.h"

namespace {

struct Variant {
    const char* name;
    bool binned;
    int eightbit;
    int sbig;
};

constexpr Variant kVariants[] = {
    {"binned16s", true, 0, 0}, {"binned16u", true, 0, 1}, {"binned8s", true, 1, 0},
    {"binned8u", true, 1, 1},  {"full16s", false, 0, 0},  {"full16u", false, 0, 1},
    {"full8s", false, 1, 0},   {"full8u", false, 1, 1},
};

void set_header(kvr::Program& p) {
    using kvr::copy_text;
    copy_text(p.settings.FITS_Obj, "Barnard's Loop");
    copy_text(p.settings.FITS_Obs, "Tester");
    copy_text(p.settings.FITS_Date, "2027-01-01");
    copy_text(p.settings.FITS_Time, "22:05:00");
    copy_text(p.settings.FITS_Filter, "Ha");
    copy_text(p.settings.FITS_Com, "it's a comment");
    copy_text(p.shell.process_info[0], "Dark Frame Subtracted");
    p.settings.FITS_Exptime = 120;
    p.settings.FITS_Pixwidth = 0.0086;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_fits_variants DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    kvr::VirtualClock clock;
    std::ostringstream quiet;
    kvr::ScriptHost host(quiet, clock, &clock);
    // Drive paths (the auto-save folder the writer creates) stay beside the variants.
    auto program = kvr::make_program(clock, host, dir + "/drives");
    kvr::Program& p = *program;
    set_header(p);
    for (const Variant& v : kVariants) {
        p.readout.binned = v.binned;
        kvr::set_readout_geometry(p);
        kvr::test::fill_pattern(p.ptr.image, size_t(p.geo.width1) * p.geo.height1);
        p.settings.FITS_SBIG = v.sbig;
        const std::string path = dir + "/" + v.name + ".FIT";
        if (kvr::save_fits_file(p, path, p.ptr.image, v.eightbit) != 0) {
            std::cerr << "cannot write " << path << '\n';
            return 1;
        }
    }
    // The full 16-bit frame at the standard length, as other tools leave it.
    std::string full = kvr::test::read_bytes(dir + "/full16s.FIT");
    kvr::test::write_bytes(dir + "/full16s_std.FIT", full.substr(0, 878400));
    return 0;
}
