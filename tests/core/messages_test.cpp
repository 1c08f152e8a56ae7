#include "core/messages.h"

#include "support/test_program.h"

namespace kvr::test {
namespace {

using MessagesTest = ProgramTest;

TEST_F(MessagesTest, FixedTextsByCode) {
    EXPECT_EQ(message_text(1), "Warning!\nNo INI file found, please set defaults...");
    EXPECT_EQ(message_text(26), "Unable to contact camera, please check cables");
    EXPECT_EQ(message_text(46), "Sorry, chosen Comparison file is not an QX or FITs File");
    EXPECT_EQ(message_text(48),
              "Sorry, Row Plot only available in standard Geometry. Ensure Image is not stretched "
              "to fit window");
    EXPECT_EQ(message_text(51), "Guiding Terminated");
    EXPECT_EQ(message_text(57), "Selfguiding terminated - lost star");
    EXPECT_EQ(message_text(60), "Sorry! Mk 2 Controlbox not present. Self-guiding not available");
    for (int code : {0, 47, 50, 56, 61, 100, -3}) EXPECT_EQ(message_text(code), "") << code;
}

TEST_F(MessagesTest, BoxesPrintCodeAndTextWithEscapedLineBreaks) {
    messages(p, Msg::DarkOpenFailed);
    messages(p, static_cast<Msg>(56));
    messages(p, static_cast<Msg>(61));
    messages(p, Msg::NoIniFile);
    EXPECT_EQ(take_output(),
              "message 3: Failed to Open Darkframe QX File\n"
              "message 56: \n"
              "message 61: \n"
              "message 1: Warning!\\nNo INI file found, please set defaults...\n");
}

TEST_F(MessagesTest, Code50ShowsTheCallersTextCutAt498) {
    struct CaptureHost : ScriptHost {
        using ScriptHost::ScriptHost;
        int message_box(const MessageBox& b) override {
            last = b;
            return kIdOk;
        }
        MessageBox last;
    };
    std::ostringstream sink;
    CaptureHost capture(sink, clock, &clock);
    auto q = make_program(clock, capture, drives.path());
    message50(*q, std::string(600, 'a'));
    EXPECT_EQ(capture.last.text, std::string(498, 'a'));
    EXPECT_EQ(capture.last.caption, "KVR_Q4");
    EXPECT_EQ(capture.last.code, 50);
    EXPECT_EQ(capture.last.buttons, BoxButtons::Ok);
    EXPECT_EQ(capture.last.icon, BoxIcon::None);
    messages(*q, Msg::DarkOpenFailed);
    EXPECT_EQ(capture.last.text, "Failed to Open Darkframe QX File");
    message50f(*q, "x position = %5d\ny position = %5d", 12, 345);
    EXPECT_EQ(capture.last.text, "x position =    12\ny position =   345");
}

TEST_F(MessagesTest, ProgressTitleIsRewrittenOnlyWhenChanged) {
    host.set_show_progress(true);
    set_progress_caption(p, "READ QX CAMERA - Binned");
    progress_open(p);
    refresh_progress(p);  // changecaption still set by the caption change: title rewritten
    EXPECT_EQ(p.shell.changecaption, 0);
    p.shell.progress = 128;
    refresh_progress(p);  // unchanged: keeps its title
    set_progress_caption(p, "READ QX CAMERA - Interlaced(2nd Exposure)");
    refresh_progress(p);
    progress_close(p);
    EXPECT_EQ(take_output(),
              "progress: READ QX CAMERA - Binned\n"
              "progress: READ QX CAMERA - Binned\n"
              "progress: READ QX CAMERA - Interlaced(2nd Exposure)\n"
              "progress closed\n");
}

TEST_F(MessagesTest, InfoWindowFieldsAndCross) {
    struct CaptureHost : ScriptHost {
        using ScriptHost::ScriptHost;
        void info_update(const InfoWindowView& v) override { last = v; }
        InfoWindowView last;
    };
    std::ostringstream sink;
    CaptureHost capture(sink, clock, &clock);
    auto q = make_program(clock, capture, drives.path());
    GuideState& g = q->guide;
    g.xcent = 123, g.xcentdec = 4, g.ycent = 56, g.ycentdec = 9;
    g.x3 = -1260, g.y3 = 26;
    g.x1 = 10, g.y1 = 20;
    refresh_info_window(*q);
    EXPECT_EQ(capture.last.fields[0], "123.4");
    EXPECT_EQ(capture.last.fields[1], "56.9");
    EXPECT_EQ(capture.last.fields[2], "-1.3");
    EXPECT_EQ(capture.last.fields[3], "0.0");
    EXPECT_FALSE(capture.last.has_frame);
    q->shell.got_guide_image = 1;
    refresh_info_window(*q);
    EXPECT_TRUE(capture.last.has_frame);
    EXPECT_EQ(capture.last.cross_h[0], 69);
    EXPECT_EQ(capture.last.cross_h[1], 86);
    EXPECT_EQ(capture.last.cross_h[2], 109);
    EXPECT_EQ(capture.last.cross_v[0], 89);
    EXPECT_EQ(capture.last.cross_v[1], 66);
    EXPECT_EQ(capture.last.cross_v[3], 106);
    EXPECT_NE(capture.last.frame_bitmap_path.find("/c/kvr_q4f.bmp"), std::string::npos);
}

}  // namespace
}  // namespace kvr::test
