#include "camera/usb_link.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#if __has_include(<sys/utsname.h>)
#include <sys/utsname.h>
#endif

#include "camera/command_blocks.h"
#include "core/messages.h"
#include "core/program.h"

namespace kvr {

namespace {

// A device path must fit the 256-byte detail buffer the interface details are fetched into.
constexpr size_t kDevicePathBytes = 256;
// Room of one HID report, report id included.
constexpr int kHidReportBytes = 256;
constexpr int kHidMaxDataBytes = 254;

void error_box(Program& p, const char* text) {
    MessageBox box;
    box.caption = "Error";
    box.text = text;
    box.icon = BoxIcon::Stop;
    p.host.message_box(box);
}

// The 4 characters starting 4 places after the first (case-sensitive) `key` in `path`
// ("vid_1234" gives "1234"); `out` keeps its old text when the key is absent.
void copy_id_after(const std::string& path, std::string_view key, char (&out)[kUsbIdChars]) {
    const size_t at = path.find(key);
    if (at == std::string::npos) return;
    const size_t first = at + 4;
    size_t n = 0;
    for (; n < kUsbIdChars - 1 && first + n < path.size(); ++n) out[n] = path[first + n];
    out[n] = '\0';
}

void copy_name(char (&out)[kHidNameBytes], const std::string& text) {
    const size_t n = std::min(text.size(), sizeof out - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// Kernel release "6.1.0-18-amd64" gives 6 and 1; 0 and 0 when unknown.
void host_os_version(int& major, int& minor) {
    major = 0;
    minor = 0;
#if __has_include(<sys/utsname.h>)
    utsname name{};
    if (uname(&name) == 0) std::sscanf(name.release, "%d.%d", &major, &minor);
#endif
}

// A camera that left the bus (ENODEV from its open handle) is closed, so that the next camera
// command looks for it again instead of writing to a dead handle.
void forget_vanished_camera(Program& p, int error) {
    if (error == ENODEV && p.BlockIOHandle) close_usb_device(p);
}

}  // namespace

int USBHid::collect_usb_hid_info(Program& p) {
    LinkState& link = p.link;
    // Discovery runs only while the link is closed; a handle left by an earlier, interrupted
    // discovery must not make this one look successful.
    p.BlockIOHandle.reset();
    DeviceEnumerator* enumerator = p.devices.get();
    if (enumerator && !enumerator->begin()) {
        message50(p, "Could not attach to PnP node");
        return 0;
    }
    int result = 0;
    int opened_index = -1;
    for (int i = 0; i < kMaxInterfaceMembers; ++i) {
        HidDeviceDataType& entry = devices[i];
        entry.VID = 0;
        if (!enumerator) continue;
        const std::optional<DeviceInterfaceInfo> info = enumerator->interface_at(i);
        if (!info) continue;
        result = 1;
        if (info->path.empty() || info->path.size() >= kDevicePathBytes) {
            error_box(p, "Could not find the system name for this HID device");
            return 0;
        }
        copy_id_after(info->path, "vid", link.kv_vid);
        copy_id_after(info->path, "pid", link.kv_pid);
        if (std::strncmp(link.kv_pid, link.kv_cam_pid, kUsbIdChars) != 0 && link.ignore_pid == 0)
            continue;
        int error = 0;
        std::unique_ptr<BlockDevice> device = enumerator->open(*info, error);
        if (!device) {
            error_box(p, "Could not open HID device");
            return 0;
        }
        p.BlockIOHandle = std::move(device);  // a later match replaces an earlier one
        opened_index = i;
        entry.VID = info->vid;
        entry.PID = info->pid;
        copy_name(entry.VendorName,
                  info->manufacturer.empty() ? "- not present -" : info->manufacturer);
        copy_name(entry.ProductName, info->product);
    }
    if (!p.BlockIOHandle) {
        message50(p, "USB KVRIO device not found");
        link.OpenUSBinterfaces = 0;
        link.got_kv = 0;
        return result;
    }
    link.Win98 = 0;  // interrupt masking around downloads does not exist here
    if (p.settings.Show_Interface_Details || p.settings.Debug_Mode) {
        int major = 0;
        int minor = 0;
        host_os_version(major, minor);
        // There is no handle number on this platform: the interface's member index stands in.
        message50f(p, "Camera Found, \nKVRIO = %6d\nO/S = %4d.%4d\nPID = %s", opened_index, major,
                   minor, link.kv_pid);
    }
    link.got_kv = 1;
    link.OpenUSBinterfaces = 1;
    return result;
}

bool find_camera(Program& p) {
    if (p.link.got_kv) return true;
    USBHid hid;
    hid.collect_usb_hid_info(p);
    if (!p.link.got_kv) {
        message50(p, "Sorry, No camera found on USB");
        return false;
    }
    get_ccd_type(p);
    return true;
}

bool send_block(Program& p) {
    LinkState& link = p.link;
    const int32_t count = link.ByteCount;
    int error = ENODEV;
    if (count < 0 || count > kCommandBlockBytes) {
        error = EINVAL;
    } else if (p.BlockIOHandle) {
        error = p.BlockIOHandle->write_block(p.buf->camdata, static_cast<size_t>(count));
    }
    if (error != 0) {
        link.BytesWritten = 0;
        message50(p, "Could not write KVRIO Output - try rebooting USB device");
        forget_vanished_camera(p, error);
        return false;
    }
    link.BytesWritten = static_cast<unsigned>(count);
    return true;
}

bool receive_block(Program& p) {
    LinkState& link = p.link;
    const int32_t count = link.ByteCount;
    size_t received = 0;
    int error = ENODEV;
    if (count < 0 || count > kReportBufferBytes) {
        error = EINVAL;
    } else if (p.BlockIOHandle) {
        error =
            p.BlockIOHandle->read_block(p.buf->ReportBuffer, static_cast<size_t>(count), received);
        if (error == 0 && received != static_cast<size_t>(count)) error = EIO;
    }
    link.BytesReturned = static_cast<unsigned>(received);
    if (error != 0) {
        message50f(p, "Error %d trying to read KVRIO data from USB\n", error);
        forget_vanished_camera(p, error);
        return false;
    }
    return true;
}

void close_usb_device(Program& p) {
    p.HidHandle.reset();
    p.BlockIOHandle.reset();
    p.link.got_kv = 0;
    p.link.OpenUSBinterfaces = 0;
}

bool read_usb_device(Program& p, uint8_t* destination, int count) {
    if (count > kHidMaxDataBytes) {
        message50(p, "Maximum ByteCount for ReadUSBdevice is 254");
        return false;
    }
    if (count < 1) {
        message50(p, "Minimum ByteCount for ReadUSBdevice is 1");
        return false;
    }
    uint8_t* report = p.buf->ReportBuffer;
    size_t received = 0;
    const int error =
        p.HidHandle ? p.HidHandle->read_block(report, static_cast<size_t>(count) + 1, received)
                    : ENODEV;
    p.link.BytesReturned = static_cast<unsigned>(received);
    if (error != 0 || received < 1) {
        message50(p, "Could not get an Input Report");
        return false;
    }
    std::memcpy(destination, report + 1, std::min(received - 1, static_cast<size_t>(count)));
    return true;
}

bool write_usb_device(Program& p, const uint8_t* source, int count) {
    if (count > kHidMaxDataBytes) {
        message50(p, "Maximum ByteCount for WriteUSBdevice is 254");
        return false;
    }
    if (count < 0) {
        message50(p, "Minimum ByteCount for WriteUSBdevice is 0");
        return false;
    }
    uint8_t report[kHidReportBytes] = {};  // report id 0, then the data
    std::memcpy(report + 1, source, static_cast<size_t>(count));
    const int error =
        p.HidHandle ? p.HidHandle->write_block(report, static_cast<size_t>(count) + 1) : ENODEV;
    if (error != 0) {
        p.link.BytesWritten = 0;
        message50f(p, "Error %d trying to send command to USB \n", error);
        return false;
    }
    p.link.BytesWritten = static_cast<unsigned>(count) + 1;
    return true;
}

}  // namespace kvr
