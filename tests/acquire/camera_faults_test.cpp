// Transfer faults of the camera half-way through a full-frame field, in numbered and continuous
// runs: each is reported, leaves the image as it was, lets the run go on (or ends it when the
// camera has left the bus), never hangs, and the next exposure works once the fault has cleared.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "acquire/sim_run.h"
#include "core/program.h"

namespace kvr::test {
namespace {

using sim::CameraFaultKind;

// Noise on, so that every frame differs from the one before.
void noisy_instant_camera(sim::CameraConfig& c) {
    c.behaviour.download_ms_per_field = 0;
}

struct FaultCase {
    CameraFaultKind kind;
    int error;
    bool continuous;
};

std::string case_name(const FaultCase& f) {
    static const char* const kKinds[] = {"ShortBlock", "Timeout", "Stall", "Unplug"};
    return std::string(kKinds[static_cast<int>(f.kind)]) +
           (f.continuous ? "Continuous" : "Numbered");
}
void PrintTo(const FaultCase& f, std::ostream* os) {
    *os << case_name(f);
}

class CameraFaultTest : public SimRunTest, public ::testing::WithParamInterface<FaultCase> {
  protected:
    CameraFaultTest() : SimRunTest(noisy_instant_camera) {
        camera->before_main_read = [this](int n) {
            const uint16_t* image = p.buf->image_int;
            image_before_read[n].assign(image, image + kFullWidth * kFullHeight);
        };
        run_script("set highres_intl 1\nset binned 0\nset download_time 0\n");
    }
    std::vector<uint16_t> image_now() const {
        return {p.buf->image_int, p.buf->image_int + kFullWidth * kFullHeight};
    }
    // The image as it stood when each main-camera read was sent, by read number.
    std::map<int, std::vector<uint16_t>> image_before_read;
};

TEST_P(CameraFaultTest, FaultInTheSecondFieldDropsOnlyThatFrame) {
    const FaultCase f = GetParam();
    const bool unplug = f.kind == CameraFaultKind::Unplug;
    // Frame 1 is reads 1 and 2; the fault hits the second field of frame 2.
    constexpr int kFaultRead = 4;
    camera->camera().behaviour().faults = {{f.kind, kFaultRead, 5000}};
    if (f.continuous)
        run_script("set continuous 1\nkey 90000\n");
    else
        pick_focus_star();  // the frames of a numbered run are registered on it and summed
    const std::string out = take_photo(
        f.continuous ? "click 704" : "click 704 scroll 111 linedown scroll 111 linedown");

    const std::string error =
        "message 50: Error " + std::to_string(f.error) + " trying to read KVRIO data from USB";
    EXPECT_EQ(lines_starting(out, error).size(), 1u) << out;
    EXPECT_EQ(lines_starting(out, "message").size(), 1u) << out;
    const size_t reads_sent = reads().size();
    if (unplug) {
        // Nothing more to read from: the run ends at once, with frame 1 on screen.
        EXPECT_EQ(reads_sent, size_t{kFaultRead});
        EXPECT_EQ(frames_shown(), 1u);
        EXPECT_EQ(p.link.got_kv, 0);
        EXPECT_TRUE(image_now() == image_before_read[kFaultRead - 1]);
    } else {
        // The run goes on; the next frame starts from frame 1's image, untouched.
        ASSERT_GT(reads_sent, size_t{kFaultRead});
        EXPECT_EQ(frames_shown(), (reads_sent - 2) / 2);
        EXPECT_TRUE(image_before_read[kFaultRead + 1] == image_before_read[kFaultRead - 1]);
        if (!f.continuous) {
            EXPECT_EQ(reads_sent, 6u);
        }
    }

    // Once the camera is back (an unplugged one after its 5 s away), the next exposure works.
    if (unplug) {
        const std::string away = take_photo("click 704");
        EXPECT_EQ(lines_starting(away, "message 50: Sorry, No camera found on USB").size(), 1u)
            << away;
        run_script("wait 6000\n");
    }
    run_script("set continuous 0\n");
    const size_t shown = frames_shown();
    const std::string again = take_photo("click 704");
    EXPECT_EQ(lines_starting(again, "message").size(), 0u) << again;
    EXPECT_EQ(frames_shown(), shown + 1);
    EXPECT_FALSE(image_now() == image_before_read[reads().size() - 1]);
}

INSTANTIATE_TEST_SUITE_P(NumberedAndContinuous, CameraFaultTest,
                         ::testing::Values(FaultCase{CameraFaultKind::ShortBlock, EIO, false},
                                           FaultCase{CameraFaultKind::Timeout, ETIMEDOUT, false},
                                           FaultCase{CameraFaultKind::Stall, EPIPE, false},
                                           FaultCase{CameraFaultKind::Unplug, ENODEV, false},
                                           FaultCase{CameraFaultKind::ShortBlock, EIO, true},
                                           FaultCase{CameraFaultKind::Timeout, ETIMEDOUT, true},
                                           FaultCase{CameraFaultKind::Stall, EPIPE, true},
                                           FaultCase{CameraFaultKind::Unplug, ENODEV, true}),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return case_name(info.param);
                         });

}  // namespace
}  // namespace kvr::test
