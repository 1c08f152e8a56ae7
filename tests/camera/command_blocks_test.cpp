#include "camera/command_blocks.h"

#include <cstring>

#include "camera/scripted_device.h"

namespace kvr::test {
namespace {

using CommandBlockTest = CameraLinkTest;

TEST_F(CommandBlockTest, ClearsEchoAndModelQuery) {
    talk->expect_write({0x40, 1, 8, 0, 0, 0, 0, 0});
    EXPECT_TRUE(clear_vertical(p));
    talk->expect_write({0x40, 1, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(wiper(p));
    talk->expect_write({0x40, 1, 0, 0, 1, 0, 0, 0});
    EXPECT_TRUE(clear_sensor(p, kHeadGuider, kClearWholeSensor));

    talk->expect_write({0x40, 0, 0, 0, 0, 0, 1, 0, 0});
    talk->reply({0x5A});
    EXPECT_TRUE(echo_ccd(p));

    talk->expect_write({0xC0, 14, 0, 0, 0, 0, 2, 0});
    talk->reply({0x05, 0x12});
    EXPECT_TRUE(get_ccd_type(p));
    EXPECT_EQ(p.link.camtype, 0x1205);
    EXPECT_EQ(take_output(), "");
}

TEST_F(CommandBlockTest, FailedModelQueryKeepsTheOldModel) {
    p.link.camtype = 0x0101;
    p.buf->ReportBuffer[0] = 0xEE;
    talk->expect_write({0xC0, 14, 0, 0, 0, 0, 2, 0});
    talk->fail_read(2, 110);
    EXPECT_FALSE(get_ccd_type(p));
    EXPECT_EQ(p.link.camtype, 0x0101);

    // A command whose send failed is not waited on.
    talk->fail_write({0x40, 0, 0, 0, 0, 0, 1, 0, 0}, 19);
    EXPECT_FALSE(echo_ccd(p));
    EXPECT_EQ(take_output(),
              "message 50: Error 110 trying to read KVRIO data from USB\\n\n"
              "message 50: Could not write KVRIO Output - try rebooting USB device\n");
}

TEST_F(CommandBlockTest, RelaysResetAndSensorParameters) {
    talk->expect_write({0x40, 9, 0x0C, 0, 0, 0, 0, 0});
    EXPECT_TRUE(send_guide_relays(p, 0x0C));
    talk->expect_write({0x40, 6, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(reset_ccd(p));
    talk->expect_write(
        {0x40, 7, 0, 0, 0, 0, 9, 0, 18, 30, 112, 5, 6, 1, 16, 4, 115, 6, 115, 6, 2, 3});
    EXPECT_TRUE(set_ccd(p));
    talk->expect_write({0x40, 8, 0, 0, 0, 0, 9, 0});
    Bytes sixteen(16);
    sixteen[15] = 0x77;
    talk->reply(sixteen);
    EXPECT_TRUE(get_ccd(p));
    EXPECT_EQ(p.buf->ReportBuffer[15], 0x77);
    p.link.slewport = 1;
    talk->expect_write({0x40, 13, 0, 0, 1, 0, 0, 0});
    EXPECT_TRUE(get_serial(p));
}

TEST_F(CommandBlockTest, SerialWriteSendsTheTextAfterTheHeader) {
    talk->expect_write({0x40, 10, 0, 0, 1, 0, 5, 0, '#', ':', 'Q', '#', 'x'});
    EXPECT_TRUE(write_serial(p, 0x101, "#:Q#x", 5));  // low byte of the port

    // A text shorter than its count leaves zeros in the rest of what is sent.
    talk->expect_write({0x40, 10, 0, 0, 0, 0, 4, 0, 'a', 'b', 0, 0});
    EXPECT_TRUE(write_serial(p, 0, "ab", 4));
}

TEST_F(CommandBlockTest, SerialTextLongerThanTheBlockIsRefused) {
    const std::string text(57, 'x');
    EXPECT_FALSE(write_serial(p, 0, text.c_str(), 57));
    EXPECT_EQ(take_output(),
              "message 50: Camera serial text of 57 characters refused: at most 56 fit one "
              "command\n");
    EXPECT_EQ(talk->writes, 0);

    Bytes block = {0x40, 10, 0, 0, 0, 0, 56, 0};
    block.insert(block.end(), 56, 'x');
    talk->expect_write(block);
    EXPECT_TRUE(write_serial(p, 0, text.c_str(), 56));
}

TEST_F(CommandBlockTest, ReadAfterALongSerialWriteCarriesZerosEverywhereItDoesNotSet) {
    const std::string text(56, '\xFF');
    Bytes block = {0x40, 10, 0, 0, 0, 0, 56, 0};
    block.insert(block.end(), 56, 0xFF);
    talk->expect_write(block);
    write_serial(p, 0, text.c_str(), 56);

    ReadRequest r;
    r.field = kField1;
    r.width = 752;
    r.height = 290;
    r.delay_ms = 0x12345;  // only the low 16 bits go out
    talk->expect_write(
        {0x40, 2, 1, 0, 0, 0, 14, 0, 0, 0, 0, 0, 0xF0, 2, 0x22, 1, 1, 1, 0x45, 0x23, 0, 0});
    EXPECT_TRUE(send_read_command(p, r, true));
    for (size_t i = 22; i < kCommandBlockBytes; ++i) EXPECT_EQ(p.buf->camdata[i], 0) << i;
}

Bytes answer(const std::string& text) {
    Bytes b(kSerialAnswerBytes, 0);
    std::memcpy(b.data(), text.data(), std::min(text.size(), b.size()));
    return b;
}

TEST_F(CommandBlockTest, SerialAnswersBecomeTextUpToTheirHash) {
    talk->expect_write({0x40, 11, 0, 0, 1, 0, 33, 0});
    talk->reply(answer("12:34:56#junk"));
    EXPECT_TRUE(read_serial(p, 1, 33));
    EXPECT_STREQ(p.scope.move_error, "12:34:56");

    talk->expect_write({0x40, 11, 0, 0, 0, 0, 33, 0});
    talk->reply(answer("#"));
    EXPECT_TRUE(read_serial(p, 0, 33));
    EXPECT_STREQ(p.scope.move_error, "");

    // Without a '#' all 33 bytes are the text; the rest of the target stays zero.
    const std::string full(33, 'A');
    talk->expect_write({0x40, 11, 0, 0, 0, 0, 33, 0});
    talk->reply(answer(full));
    EXPECT_TRUE(read_serial(p, 0, 33));
    EXPECT_EQ(std::string(p.scope.move_error), full);

    // Other counts only fill the report buffer.
    std::strcpy(p.scope.move_error, "kept");
    talk->expect_write({0x40, 11, 0, 0, 0, 0, 2, 0});
    talk->reply({'x', '#'});
    EXPECT_TRUE(read_serial(p, 0, 2));
    EXPECT_STREQ(p.scope.move_error, "kept");
}

TEST_F(CommandBlockTest, MountStatusZeroMeansNoError) {
    std::strcpy(p.scope.scope_error, "old");
    talk->expect_write({0x40, 11, 0, 0, 1, 0, 1, 0});
    talk->reply({'0'});
    EXPECT_TRUE(check_serial_return(p, 1));
    EXPECT_STREQ(p.scope.scope_error, "");

    talk->expect_write({0x40, 11, 0, 0, 1, 0, 1, 0});
    talk->reply({'1'});
    talk->expect_write({0x40, 11, 0, 0, 1, 0, 33, 0});
    talk->reply(answer("Object below horizon#"));
    EXPECT_TRUE(check_serial_return(p, 1));
    EXPECT_STREQ(p.scope.scope_error, "Object below horizon");
    EXPECT_STREQ(p.scope.move_error, "");  // only read_serial writes move_error

    talk->expect_write({0x40, 11, 0, 0, 0, 0, 1, 0});
    talk->reply({'P'});
    EXPECT_TRUE(read_serial_return(p, 0));
    EXPECT_EQ(p.buf->ReportBuffer[0], 'P');
}

TEST_F(CommandBlockTest, FailedSerialReadLeavesTheTextsAlone) {
    std::strcpy(p.scope.scope_error, "old");
    talk->expect_write({0x40, 11, 0, 0, 0, 0, 1, 0});
    talk->fail_read(1, 110);
    EXPECT_FALSE(check_serial_return(p, 0));
    EXPECT_STREQ(p.scope.scope_error, "old");

    EXPECT_FALSE(read_serial(p, 0, 70000));
    EXPECT_EQ(take_output(),
              "message 50: Error 110 trying to read KVRIO data from USB\\n\n"
              "message 50: Camera serial read of 70000 bytes refused: 0 to 65535 can be asked "
              "for\n");
}

}  // namespace
}  // namespace kvr::test
