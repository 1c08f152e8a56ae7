// The simulated camera as a device: discovery, reply lengths, timing on the shared clock, and
// what it does with blocks it cannot carry out.
#include <algorithm>
#include <cerrno>

#include "sim/camera_enumerator.h"
#include "sim_rig.h"

namespace kvr::sim::test {
namespace {

// Records what reaches the camera's ports and answers serial reads with a fixed text.
class RecordingPorts : public CameraPorts {
  public:
    void relays_changed(uint16_t bits, int64_t) override { relays.push_back(bits); }
    void serial_write(uint16_t port, const uint8_t* bytes, size_t count, int64_t) override {
        written_port = port;
        written.assign(bytes, bytes + count);
    }
    void serial_read(uint16_t port, uint8_t* out, size_t count, int64_t) override {
        read_port = port;
        for (size_t i = 0; i < count && i < answer.size(); ++i) out[i] = answer[i];
    }
    std::vector<uint16_t> relays;
    uint16_t written_port = 0xFFFF;
    std::string written;
    uint16_t read_port = 0xFFFF;
    std::string answer = "1#";
};

TEST(SimCameraEnumerator, OneCameraInterfaceSharedByEveryOpen) {
    VirtualClock clock;
    CameraConfig config;
    config.behaviour.download_ms_per_field = 0;
    CameraEnumerator bus(clock, config);
    ASSERT_TRUE(bus.begin());
    const auto info = bus.interface_at(0);
    ASSERT_TRUE(info.has_value());
    EXPECT_NE(info->path.find("vid_1a2b"), std::string::npos);
    EXPECT_NE(info->path.find("pid_0107"), std::string::npos);
    EXPECT_EQ(info->pid, 0x0107);
    for (int i = 1; i < kMaxInterfaceMembers; ++i) EXPECT_FALSE(bus.interface_at(i).has_value());

    int error = -1;
    auto first = bus.open(*info, error);
    ASSERT_TRUE(first);
    EXPECT_EQ(error, 0);
    auto second = bus.open(*info, error);
    ASSERT_TRUE(second);
    // A relay setting made through one handle is the camera's, seen through the other.
    const auto relays = command_block(kCmdSetRelays, 0x5, 0, 0);
    EXPECT_EQ(first->write_block(relays.data(), relays.size()), 0);
    EXPECT_EQ(bus.camera().relay_bits(), 0x5);
    const auto echo = command_block(kCmdEcho, 0, 0, 1, {0});
    EXPECT_EQ(second->write_block(echo.data(), echo.size()), 0);
    uint8_t byte = 0xAA;
    size_t got = 0;
    EXPECT_EQ(second->read_block(&byte, 1, got), 0);
    EXPECT_EQ(got, 1u);

    DeviceInterfaceInfo other = *info;
    other.path = "usb#vid_1a2b&pid_0108#other";
    EXPECT_EQ(bus.open(other, error), nullptr);
    EXPECT_EQ(error, ENODEV);
}

TEST(SimCamera, EveryReplyHasItsExactLength) {
    SimRig rig;
    auto expect_reply = [&](const std::vector<uint8_t>& block, size_t n) {
        ASSERT_EQ(rig.send(block), 0);
        rig.receive(n);
        // Nothing follows the reply.
        uint8_t extra;
        size_t got = 7;
        EXPECT_EQ(rig.camera->read_block(&extra, 1, got), ETIMEDOUT);
        EXPECT_EQ(got, 0u);
    };
    expect_reply(command_block(kCmdEcho, 0, 0, 1, {0}), kEchoReplyBytes);
    expect_reply(command_block(kCmdModel, 0, 0, 2), kModelReplyBytes);
    expect_reply(command_block(kCmdGetSensor, 0, 0, kGetSensorLengthField), kGetSensorReplyBytes);
    expect_reply(command_block(kCmdSerialRead, 0, 1, kSerialAnswerBytes), kSerialAnswerBytes);
    expect_reply(read_command(field_request(kField1), false), kFieldReplyBytes);
    expect_reply(read_command(field_request(kField2, 20), true), kFieldReplyBytes);
    expect_reply(read_command(binned_request(), false), kBinnedReplyBytes);
    expect_reply(read_command(window_request(kField1, 312, 65), false), kWindowReplyBytes);
    expect_reply(read_command(window_request(kFieldBoth, 0, 0, 5), true), kWindowReplyBytes);
    expect_reply(read_command(guider_request(), false), kGuiderReplyBytes);
}

TEST(SimCamera, SmallRepliesCarryTheirContent) {
    SimRig rig;
    rig.send(command_block(kCmdModel, 0, 0, 2));
    EXPECT_EQ(rig.receive(2), (std::vector<uint8_t>{0x05, 0x12}));

    rig.send(command_block(kCmdEcho, 0, 0, 1, {0}));
    EXPECT_EQ(rig.receive(1), std::vector<uint8_t>{0});

    // Sensor parameters: the fixed set at power-up, then what command 7 stored; reset restores.
    rig.send(command_block(kCmdGetSensor, 0, 0, kGetSensorLengthField));
    std::vector<uint8_t> expected(kGetSensorReplyBytes, 0);
    std::copy(std::begin(kSetSensorParameters), std::end(kSetSensorParameters), expected.begin());
    EXPECT_EQ(rig.receive(kGetSensorReplyBytes), expected);
    std::vector<uint8_t> other(14, 9);
    rig.send(command_block(kCmdSetSensor, 0, 0, kSetSensorLengthField, other));
    rig.send(command_block(kCmdGetSensor, 0, 0, kGetSensorLengthField));
    EXPECT_EQ(rig.receive(kGetSensorReplyBytes)[13], 9);
    rig.send(command_block(kCmdReset, 0, 0, 0));
    rig.send(command_block(kCmdGetSensor, 0, 0, kGetSensorLengthField));
    EXPECT_EQ(rig.receive(kGetSensorReplyBytes), expected);

    // Nothing on the serial ports: a read answers the count asked for, all zero.
    rig.send(command_block(kCmdSerialWrite, 0, 1, 3, {':', 'Q', '#'}));
    rig.send(command_block(kCmdSerialRead, 0, 1, kSerialAnswerBytes));
    EXPECT_EQ(rig.receive(kSerialAnswerBytes), std::vector<uint8_t>(kSerialAnswerBytes, 0));
}

TEST(SimCamera, PortsAndRelaysReachWhatIsPluggedIn) {
    SimRig rig;
    auto ports = std::make_shared<RecordingPorts>();
    rig.camera->attach_ports(ports);
    rig.send(command_block(kCmdSetRelays, 0x9, 0, 0));
    EXPECT_EQ(rig.camera->relay_bits(), 0x9);
    rig.send(command_block(kCmdSerialWrite, 0, 2, 5, {':', 'M', 's', '#', 'x'}));
    EXPECT_EQ(ports->written_port, 2);
    EXPECT_EQ(ports->written, ":Ms#x");
    rig.send(command_block(kCmdSerialRead, 0, 3, 4));
    EXPECT_EQ(rig.receive(4), (std::vector<uint8_t>{'1', '#', 0, 0}));
    EXPECT_EQ(ports->read_port, 3);
    rig.send(command_block(kCmdReset, 0, 0, 0));
    EXPECT_EQ(rig.camera->relay_bits(), 0);
    EXPECT_EQ(ports->relays, (std::vector<uint16_t>{0x9, 0}));
}

TEST(SimCamera, CommandsWithoutReplyLeaveNothingToRead) {
    SimRig rig;
    rig.camera->behaviour().transfer_timeout_ms = 2000;
    for (const auto& block :
         {command_block(kCmdClear, kClearWholeSensor, kHeadMain, 0),
          command_block(kCmdClear, kClearVerticalRegisters, kHeadMain, 0),
          command_block(kCmdClear, kClearWholeSensor, kHeadGuider, 0),
          command_block(kCmdReset, 0, 0, 0), command_block(kCmdSetRelays, 3, 0, 0),
          command_block(kCmdSerialWrite, 0, 1, 2, {'a', 'b'}),
          command_block(kCmdSerialStatus, 0, 1, 0)}) {
        ASSERT_EQ(rig.send(block), 0);
        const uint32_t before = rig.clock.ms();
        uint8_t byte;
        size_t got = 5;
        EXPECT_EQ(rig.camera->read_block(&byte, 1, got), ETIMEDOUT) << int{block[1]};
        EXPECT_EQ(got, 0u);
        // The read waited its timeout on the shared clock.
        EXPECT_EQ(rig.clock.ms() - before, 2000u);
    }
}

TEST(SimCamera, RefusedBlocksHaltTheReplyUntilTheNextGoodCommand) {
    SimRig rig;
    ReadRequest too_wide = field_request(kField1);
    too_wide.x = 1;
    ReadRequest guider_too_tall = guider_request();
    guider_too_tall.height = kGuiderRows + 1;
    ReadRequest no_binning = binned_request();
    no_binning.bin_x = 0;
    ReadRequest bad_field = field_request(0);
    ReadRequest fourth_field = field_request(4);
    ReadRequest third_head = field_request(kField1);
    third_head.head = 2;
    std::vector<uint8_t> short_read = read_command(field_request(kField1), false);
    short_read.resize(12);
    std::vector<uint8_t> short_delay = read_command(field_request(kField1, 5), true);
    short_delay.resize(kReadNowBlockBytes);
    std::vector<uint8_t> bad_type = command_block(kCmdEcho, 0, 0, 1, {0});
    bad_type[kOffsetRequestType] = 0x21;
    // Whole blocks whose length field says something else than their command carries.
    std::vector<uint8_t> read_says_14 = read_command(field_request(kField1), false);
    put_le16(read_says_14.data() + kOffsetLength, kReadAfterDelayParameterBytes);
    std::vector<uint8_t> timed_read_says_10 = read_command(field_request(kField1, 5), true);
    put_le16(timed_read_says_10.data() + kOffsetLength, kReadNowParameterBytes);

    const std::vector<std::vector<uint8_t>> refused = {
        {},
        {0x40, kCmdEcho, 0},
        command_block(5, 0, 0, 0),
        command_block(0xFF, 0, 0, 0),
        command_block(kCmdEcho, 0, 0, 1),  // the echo byte is missing
        command_block(kCmdClear, 0, 2, 0),
        command_block(kCmdSerialWrite, 0, 1, 20, {'a', 'b', 'c', 'd'}),
        command_block(kCmdSetSensor, 0, 0, 9, {1, 2, 3}),
        read_command(too_wide, false),
        read_command(guider_too_tall, false),
        read_command(no_binning, false),
        read_command(bad_field, false),
        read_command(fourth_field, true),
        read_command(third_head, false),
        short_read,
        short_delay,
        bad_type,
        read_says_14,
        timed_read_says_10,
        command_block(kCmdEcho, 0, 0, 2, {0, 0}),
        command_block(kCmdClear, 0, 0, 4, {0, 0, 0, 0}),
        command_block(kCmdSetRelays, 1, 0, 1, {0}),
        command_block(kCmdSerialWrite, 0, 1, 2, {'a', 'b', 'c', 'd'}),
    };
    for (size_t i = 0; i < refused.size(); ++i) {
        const auto& block = refused[i];
        // The bus takes the block; the camera refuses it and halts its reply pipe.
        EXPECT_EQ(rig.camera->write_block(block.data(), block.size()), 0) << i;
        std::vector<uint8_t> data(kFieldReplyBytes);
        size_t got = 99;
        EXPECT_EQ(rig.camera->read_block(data.data(), data.size(), got), EPIPE) << i;
        EXPECT_EQ(got, 0u) << i;
        // The next good command is answered.
        rig.send(command_block(kCmdModel, 0, 0, 2));
        EXPECT_EQ(rig.receive(2)[1], 0x12) << i;
    }

    // More than one command packet is refused by the bus itself.
    std::vector<uint8_t> oversize(kCommandMaxBytes + 1, 0);
    oversize[kOffsetRequestType] = kRequestTypeOut;
    EXPECT_EQ(rig.camera->write_block(oversize.data(), oversize.size()), EPIPE);
    uint8_t byte;
    size_t got = 0;
    EXPECT_EQ(rig.camera->write_block(nullptr, 8), EFAULT);
    EXPECT_EQ(rig.camera->read_block(nullptr, 1, got), EFAULT);
    // A full 64-byte block with the command in front is fine (the host may send its whole
    // command buffer).
    std::vector<uint8_t> full = command_block(kCmdEcho, 0, 0, 1, {0});
    full.resize(kCommandMaxBytes, 0);
    EXPECT_EQ(rig.send(full), 0);
    EXPECT_EQ(rig.camera->read_block(&byte, 1, got), 0);
}

TEST(SimCamera, RepliesCanBeReadInPiecesAndAShortReadIsAnError) {
    SimRig rig;
    rig.send(read_command(window_request(kField1, 0, 0), false));
    std::vector<uint8_t> data(kWindowReplyBytes + 100);
    size_t got = 0;
    EXPECT_EQ(rig.camera->read_block(data.data(), 1000, got), 0);
    EXPECT_EQ(got, 1000u);
    // Asking for more than is left gets the rest and reports a short read.
    EXPECT_EQ(rig.camera->read_block(data.data() + 1000, data.size() - 1000, got), EIO);
    EXPECT_EQ(got, kWindowReplyBytes - 1000);
    EXPECT_EQ(rig.camera->read_block(data.data(), 1, got), ETIMEDOUT);

    // Taken whole by one read asking for more, the block arrives complete and the read is short.
    rig.send(read_command(window_request(kField1, 0, 0), false));
    EXPECT_EQ(rig.camera->read_block(data.data(), data.size(), got), EIO);
    EXPECT_EQ(got, kWindowReplyBytes);

    // A new command drops the unread rest of a reply.
    rig.send(read_command(field_request(kField1), false));
    EXPECT_EQ(rig.camera->read_block(data.data(), 10, got), 0);
    rig.send(command_block(kCmdEcho, 0, 0, 1, {0}));
    EXPECT_EQ(rig.camera->read_block(data.data(), 2, got), EIO);
    EXPECT_EQ(got, 1u);
}

// Whole or in pieces, a read gets the same pixels (without noise, the same exposure gives the
// same frame).
TEST(SimCamera, ABlockReadWholeOrInPiecesIsTheSame) {
    SimRig rig(noiseless);
    auto exposure = [&](size_t piece) {
        rig.clear_main();
        rig.send(read_command(binned_request(700), true));
        std::vector<uint8_t> data(kBinnedReplyBytes);
        for (size_t at = 0; at < data.size(); at += piece) {
            size_t got = 0;
            const size_t n = std::min(piece, data.size() - at);
            EXPECT_EQ(rig.camera->read_block(data.data() + at, n, got), 0);
            EXPECT_EQ(got, n);
        }
        return data;
    };
    const std::vector<uint8_t> whole = exposure(kBinnedReplyBytes);
    EXPECT_EQ(exposure(5000), whole);
    EXPECT_NE(*std::max_element(whole.begin(), whole.end()), 0);
}

TEST(SimCamera, ReadsTakeTheirDelayAndDownloadTimeOnTheSharedClock) {
    SimRig rig;
    rig.camera->behaviour().download_ms_per_field = 2900;
    auto time_read = [&](const ReadRequest& r, bool camera_timed, size_t bytes) {
        const uint32_t start = rig.clock.ms();
        rig.send(read_command(r, camera_timed));
        EXPECT_EQ(rig.clock.ms(), start);  // the write itself does not wait
        rig.receive(bytes);
        return rig.clock.ms() - start;
    };
    EXPECT_EQ(time_read(field_request(kField1), false, kFieldReplyBytes), 2900u);
    EXPECT_EQ(time_read(field_request(kField2, 1000), true, kFieldReplyBytes), 3900u);
    EXPECT_EQ(time_read(binned_request(), false, kBinnedReplyBytes), 1450u);
    EXPECT_EQ(time_read(window_request(kField1, 312, 65, 40), true, kWindowReplyBytes), 40u + 218u);
    EXPECT_EQ(time_read(guider_request(), false, kGuiderReplyBytes), 1928u);

    // A delay beyond the transfer timeout: the read gives up, a later one gets the pixels.
    rig.camera->behaviour().download_ms_per_field = 0;
    rig.camera->behaviour().transfer_timeout_ms = 5000;
    const uint32_t start = rig.clock.ms();
    rig.send(read_command(field_request(kField1, 7000), true));
    std::vector<uint8_t> data(kFieldReplyBytes);
    size_t got = 1;
    EXPECT_EQ(rig.camera->read_block(data.data(), data.size(), got), ETIMEDOUT);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(rig.clock.ms() - start, 5000u);
    EXPECT_EQ(rig.camera->read_block(data.data(), data.size(), got), 0);
    EXPECT_EQ(rig.clock.ms() - start, 7000u);
}

TEST(SimCamera, SameSeedSameBytesOtherSeedOtherSky) {
    auto take = [](uint32_t seed) {
        VirtualClock clock;
        CameraConfig config;
        config.seed = seed;
        config.behaviour.download_ms_per_field = 0;
        Camera camera(make_sky(clock, config), config);
        std::vector<uint8_t> bytes(kFieldReplyBytes + kGuiderReplyBytes);
        for (const auto& block : {command_block(kCmdClear, 0, kHeadMain, 0),
                                  read_command(field_request(kField1, 800), true),
                                  read_command(guider_request(), false)}) {
            camera.write_block(block.data(), block.size());
        }
        size_t got = 0;
        const auto field = read_command(field_request(kField2, 300), true);
        camera.write_block(field.data(), field.size());
        camera.read_block(bytes.data(), kFieldReplyBytes, got);
        const auto guider = read_command(guider_request(), false);
        camera.write_block(guider.data(), guider.size());
        camera.read_block(bytes.data() + kFieldReplyBytes, kGuiderReplyBytes, got);
        return std::make_pair(bytes, camera.sky().star_field().stars().at(10).x);
    };
    const auto a = take(7);
    const auto b = take(7);
    const auto c = take(8);
    EXPECT_TRUE(a.first == b.first);
    EXPECT_EQ(a.second, b.second);
    EXPECT_FALSE(a.first == c.first);
    EXPECT_NE(a.second, c.second);
}

}  // namespace
}  // namespace kvr::sim::test
