#include "camera/usb_link.h"

#include <cstring>

#include "camera/scripted_device.h"

namespace kvr::test {
namespace {

// The model query every successful discovery is followed by, and a model reply.
const Bytes kModelQuery = {0xC0, 14, 0, 0, 0, 0, 2, 0};

class DiscoveryTest : public ProgramTest {
  protected:
    DiscoveryTest() {
        bus = std::make_shared<ScriptedEnumerator>(talk);
        p.devices = bus;
    }
    ~DiscoveryTest() override { talk->expect_done(); }

    std::shared_ptr<Conversation> talk = std::make_shared<Conversation>();
    std::shared_ptr<ScriptedEnumerator> bus;
};

constexpr const char* kNotFound =
    "message 50: USB KVRIO device not found\nmessage 50: Sorry, No camera found on USB\n";

TEST_F(DiscoveryTest, NoDeviceReportsBothMessagesAndTheNextCommandTriesAgain) {
    EXPECT_FALSE(find_camera(p));
    EXPECT_EQ(take_output(), kNotFound);
    EXPECT_EQ(p.link.got_kv, 0);
    EXPECT_EQ(p.link.OpenUSBinterfaces, 0);

    // A camera plugged in meanwhile is found by the next attempt.
    bus->add(0, camera_interface("1234", "0107"));
    talk->expect_write(kModelQuery);
    talk->reply({0x05, 0x12});
    EXPECT_TRUE(find_camera(p));
    EXPECT_EQ(take_output(), "");
    EXPECT_EQ(p.link.got_kv, 1);
    EXPECT_EQ(p.link.OpenUSBinterfaces, 1);
    EXPECT_EQ(p.link.camtype, 0x1205);

    // Once open, nothing is looked up again.
    EXPECT_TRUE(find_camera(p));
    EXPECT_EQ(bus->opened.size(), 1u);
}

TEST_F(DiscoveryTest, WithoutUsbAccessNothingIsFound) {
    p.devices = nullptr;
    USBHid hid;
    EXPECT_EQ(hid.collect_usb_hid_info(p), 0);
    EXPECT_EQ(take_output(), "message 50: USB KVRIO device not found\n");
    EXPECT_FALSE(find_camera(p));
    EXPECT_EQ(take_output(), kNotFound);
}

TEST_F(DiscoveryTest, EnumerationFailureIsAHardError) {
    bus->begin_ok = false;
    bus->add(0, camera_interface("1234", "0107"));
    USBHid hid;
    EXPECT_EQ(hid.collect_usb_hid_info(p), 0);
    EXPECT_EQ(take_output(), "message 50: Could not attach to PnP node\n");
    EXPECT_EQ(p.link.got_kv, 0);
    EXPECT_TRUE(bus->opened.empty());
}

TEST_F(DiscoveryTest, OtherProductIdIsSkippedUnlessIgnored) {
    bus->add(2, camera_interface("abcd", "0108"));
    USBHid hid;
    EXPECT_EQ(hid.collect_usb_hid_info(p), 1);  // an interface of the class was listed
    EXPECT_EQ(take_output(), "message 50: USB KVRIO device not found\n");
    EXPECT_STREQ(p.link.kv_vid, "abcd");
    EXPECT_STREQ(p.link.kv_pid, "0108");
    EXPECT_TRUE(bus->opened.empty());
    EXPECT_EQ(hid.devices[2].VID, 0);

    p.link.ignore_pid = 1;
    talk->expect_write(kModelQuery);
    talk->reply({0x01, 0x00});
    EXPECT_TRUE(find_camera(p));
    EXPECT_EQ(take_output(), "");
    EXPECT_EQ(bus->opened, std::vector<std::string>{"usb#vid_abcd&pid_0108#1-1"});
    EXPECT_EQ(p.link.camtype, 1);
}

TEST_F(DiscoveryTest, TwoCamerasTheHigherMemberIndexIsUsed) {
    auto first = std::make_shared<Conversation>();
    auto second = std::make_shared<Conversation>();
    bus->add(3, camera_interface("1111", "0107", "a"), first);
    bus->add(7, camera_interface("2222", "0107", "b"), second);
    second->expect_write(kModelQuery);
    second->reply({0x07, 0x00});
    EXPECT_TRUE(find_camera(p));
    EXPECT_EQ(bus->opened,
              (std::vector<std::string>{"usb#vid_1111&pid_0107#a", "usb#vid_2222&pid_0107#b"}));
    EXPECT_STREQ(p.link.kv_vid, "2222");
    EXPECT_EQ(first->writes, 0);
    second->expect_done();
}

TEST_F(DiscoveryTest, DeviceTableIsFilledForOpenedInterfaces) {
    DeviceInterfaceInfo plain = camera_interface("04b4", "0107");
    plain.manufacturer.clear();
    bus->add(0, camera_interface("1234", "0200"));  // skipped: keeps VID 0
    bus->add(5, plain);
    USBHid hid;
    hid.devices[0].VID = 99;  // a stale value is cleared
    EXPECT_EQ(hid.collect_usb_hid_info(p), 1);
    EXPECT_EQ(hid.devices[0].VID, 0);
    EXPECT_EQ(hid.devices[5].VID, 0x04b4);
    EXPECT_EQ(hid.devices[5].PID, 0x0107);
    EXPECT_STREQ(hid.devices[5].VendorName, "- not present -");
    EXPECT_STREQ(hid.devices[5].ProductName, "Camera 0107");
    EXPECT_EQ(p.link.got_kv, 1);
    EXPECT_EQ(p.link.Win98, 0);
}

TEST_F(DiscoveryTest, IdsAreTakenCaseSensitivelyFourPlacesAfterTheMatch) {
    DeviceInterfaceInfo upper = camera_interface("1234", "0107");
    upper.path = "USB#VID_1234&PID_0107#1";  // no lower-case "pid": kv_pid keeps its old text
    std::strcpy(p.link.kv_pid, "0107");
    bus->add(0, upper);
    talk->expect_write(kModelQuery);
    talk->reply({0, 0});
    EXPECT_TRUE(find_camera(p));
    EXPECT_STREQ(p.link.kv_vid, "");

    // A path that ends right after the key gives what is there.
    close_usb_device(p);
    DeviceInterfaceInfo cut = camera_interface("1234", "0107");
    cut.path = "x#vid_12";
    bus->add(0, cut);
    USBHid hid;
    hid.collect_usb_hid_info(p);
    EXPECT_STREQ(p.link.kv_vid, "12");
}

TEST_F(DiscoveryTest, OpenAndPathFailuresEndDiscovery) {
    bus->add(1, camera_interface("1234", "0107"));
    bus->open_error = 13;
    USBHid hid;
    EXPECT_EQ(hid.collect_usb_hid_info(p), 0);
    EXPECT_EQ(take_output(), "box Error: Could not open HID device\n");
    EXPECT_EQ(p.link.got_kv, 0);

    DeviceInterfaceInfo nameless;
    bus->add(0, nameless);
    EXPECT_EQ(hid.collect_usb_hid_info(p), 0);
    EXPECT_EQ(take_output(), "box Error: Could not find the system name for this HID device\n");
}

TEST_F(DiscoveryTest, InterfaceDetailsAreShownInDebugMode) {
    p.settings.Show_Interface_Details = 1;
    bus->add(12, camera_interface("1234", "0107"));
    USBHid hid;
    hid.collect_usb_hid_info(p);
    const std::string out = take_output();
    EXPECT_EQ(out.rfind("message 50: Camera Found, \\nKVRIO =     12\\nO/S = ", 0), 0u) << out;
    EXPECT_NE(out.find("\\nPID = 0107\n"), std::string::npos) << out;
}

using TransferTest = CameraLinkTest;

TEST_F(TransferTest, FailuresAreReportedWithTheSystemErrorNumber) {
    std::memcpy(p.buf->camdata, "\x40\x06\0\0\0\0\0\0", 8);
    p.link.ByteCount = 8;
    talk->fail_write({0x40, 6, 0, 0, 0, 0, 0, 0}, 5);
    EXPECT_FALSE(send_block(p));
    EXPECT_EQ(take_output(),
              "message 50: Could not write KVRIO Output - try rebooting USB device\n");
    EXPECT_EQ(p.link.BytesWritten, 0u);

    p.link.ByteCount = 4;
    talk->fail_read(4, 110);
    EXPECT_FALSE(receive_block(p));
    EXPECT_EQ(take_output(), "message 50: Error 110 trying to read KVRIO data from USB\\n\n");

    talk->short_read({1, 2, 3, 4}, 1);
    EXPECT_FALSE(receive_block(p));
    EXPECT_EQ(p.link.BytesReturned, 3u);
    EXPECT_EQ(take_output(), "message 50: Error 5 trying to read KVRIO data from USB\\n\n");

    talk->reply({9, 8, 7, 6});
    EXPECT_TRUE(receive_block(p));
    EXPECT_EQ(p.link.BytesReturned, 4u);
    EXPECT_EQ(p.buf->ReportBuffer[3], 6);
}

TEST_F(TransferTest, CountsOutsideTheBuffersAreRefused) {
    p.link.ByteCount = 65;  // more than the command block holds
    EXPECT_FALSE(send_block(p));
    p.link.ByteCount = kReportBufferBytes + 1;
    EXPECT_FALSE(receive_block(p));
    EXPECT_EQ(take_output(),
              "message 50: Could not write KVRIO Output - try rebooting USB device\n"
              "message 50: Error 22 trying to read KVRIO data from USB\\n\n");
    EXPECT_EQ(talk->writes + talk->reads, 0);
}

TEST_F(TransferTest, ClosedLinkFailsWithoutTouchingADevice) {
    close_usb_device(p);
    EXPECT_EQ(p.link.got_kv, 0);
    EXPECT_FALSE(p.BlockIOHandle);
    p.link.ByteCount = 8;
    EXPECT_FALSE(send_block(p));
    EXPECT_FALSE(receive_block(p));
    EXPECT_EQ(take_output(),
              "message 50: Could not write KVRIO Output - try rebooting USB device\n"
              "message 50: Error 19 trying to read KVRIO data from USB\\n\n");
}

TEST_F(TransferTest, HidReportsCarryAZeroReportId) {
    auto hid = std::make_shared<Conversation>();
    p.HidHandle = std::make_unique<ScriptedDevice>(hid);
    uint8_t in[4] = {};
    hid->reply({0, 0xAA, 0xBB, 0xCC});
    EXPECT_TRUE(read_usb_device(p, in, 3));
    EXPECT_EQ(in[0], 0xAA);
    EXPECT_EQ(in[2], 0xCC);
    EXPECT_EQ(in[3], 0);

    const uint8_t out[2] = {0x11, 0x22};
    hid->expect_write({0, 0x11, 0x22});
    EXPECT_TRUE(write_usb_device(p, out, 2));
    EXPECT_EQ(p.link.BytesWritten, 3u);
    hid->fail_write({0, 0x11}, 32);
    EXPECT_FALSE(write_usb_device(p, out, 1));
    EXPECT_EQ(take_output(), "message 50: Error 32 trying to send command to USB \\n\n");
    hid->expect_done();
}

TEST_F(TransferTest, HidReportSizesOutsideOneTo254AreRefusedAndNothingMoves) {
    auto hid = std::make_shared<Conversation>();
    p.HidHandle = std::make_unique<ScriptedDevice>(hid);
    uint8_t buffer[300] = {};
    EXPECT_FALSE(read_usb_device(p, buffer, 255));
    EXPECT_FALSE(read_usb_device(p, buffer, 0));
    EXPECT_FALSE(write_usb_device(p, buffer, 255));
    EXPECT_FALSE(write_usb_device(p, buffer, -1));
    EXPECT_EQ(take_output(),
              "message 50: Maximum ByteCount for ReadUSBdevice is 254\n"
              "message 50: Minimum ByteCount for ReadUSBdevice is 1\n"
              "message 50: Maximum ByteCount for WriteUSBdevice is 254\n"
              "message 50: Minimum ByteCount for WriteUSBdevice is 0\n");
    EXPECT_EQ(hid->writes + hid->reads, 0);

    // Discovery never opens the report pair.
    p.HidHandle.reset();
    EXPECT_FALSE(read_usb_device(p, buffer, 1));
    EXPECT_EQ(take_output(), "message 50: Could not get an Input Report\n");
}

}  // namespace
}  // namespace kvr::test
