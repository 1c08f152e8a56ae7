// A night's worth of frames: 10,000 binned frames of one continuous run with dark subtraction,
// flat fielding and a display refresh each, on the virtual clock. After the first 100 frames the
// program's resident memory must not grow.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "acquire/sim_run.h"
#include "core/program.h"
#include "files/image_files.h"

namespace kvr::test {
namespace {

// Resident set of this process in bytes.
long resident_bytes() {
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return -1;
    const int n = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return n == 2 ? resident * sysconf(_SC_PAGESIZE) : -1;
}

class SoakTest : public SimRunTest {};

TEST_F(SoakTest, TenThousandCalibratedFramesKeepMemoryFlat) {
    constexpr int kFrames = 10000;
    constexpr int kSettled = 100;
    take_photo();
    ASSERT_TRUE(save_kv_file(p, "c:\\soak_dark.raw"));
    ASSERT_TRUE(save_kv_file(p, "c:\\soak_flat.raw"));
    run_script(
        "set DarkFileName c:\\soak_dark.raw\nset FlatFileName c:\\soak_flat.raw\n"
        "set continuous 1\nkey 2000000000\n");
    host.set_show_progress(false);

    const int first = static_cast<int>(reads().size());
    int frames = 0;
    long settled_rss = 0, final_rss = 0;
    camera->before_main_read = [&](int n) {
        const int frame = frames = n - first;
        // The transcript and the record of commands sent are the test's, not the program's:
        // keep them from growing.
        if (frame % 100 == 0) {
            out.str(std::string());
            camera->sent.clear();
        }
        if (frame == kSettled) settled_rss = resident_bytes();
        if (frame == kFrames) {
            final_rss = resident_bytes();
            p.run.cont_work = 0;  // this frame is the run's last
        }
    };
    const auto start = std::chrono::steady_clock::now();
    take_photo("click 702 click 113 click 122");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(frames, kFrames);
    EXPECT_EQ(p.run.darkframe_loaded, 1);
    EXPECT_EQ(p.run.flatfield_loaded, 1);
    ASSERT_GT(settled_rss, 0);
    const long growth = final_rss - settled_rss;
    std::printf("soak: %d frames in %.1f s; resident %ld kB after %d frames, %ld kB after %d\n",
                kFrames, seconds, settled_rss / 1024, kSettled, final_rss / 1024, kFrames);
    RecordProperty("resident_growth_bytes", static_cast<int>(growth));
    EXPECT_LE(growth, 256 * 1024);
}

}  // namespace
}  // namespace kvr::test
