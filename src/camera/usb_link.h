#pragma once
// The camera's USB link: finding the camera's interface among the devices of its interface class,
// and moving raw blocks to and from it. Knows nothing of commands or pixels: the command layer
// fills `camdata`, sets `ByteCount` and calls send_block; it sets `ByteCount` again and calls
// receive_block, which leaves the reply at the start of `ReportBuffer`.
//
// Every failure is shown to the user (message 50 or an "Error" box) and returned as false; the
// link stays as it was.
#include <cstdint>

#include "core/block_device.h"

namespace kvr {

struct Program;

// Room of the name strings of a device entry, terminator included.
inline constexpr int kHidNameBytes = 256;

struct HidDeviceDataType {
    uint16_t VID = 0;  // 0 when no device was opened at this member index
    char VendorName[kHidNameBytes] = {};
    uint16_t PID = 0;
    char ProductName[kHidNameBytes] = {};
};

// Filled by one discovery; a fresh one is made for each.
struct USBHid {
    HidDeviceDataType devices[kMaxInterfaceMembers];

    // Looks at member indices 0 … 19 of the camera's interface class and opens the camera: the
    // last interface whose product id is `kv_cam_pid` (any product id with `ignore_pid`) becomes
    // `p.BlockIOHandle`. Sets `got_kv` and `OpenUSBinterfaces` to 1 when one was opened, else 0.
    // Returns 1 when at least one interface of the class was listed, 0 when none was or on a hard
    // error. Without a device enumerator (no USB access) nothing is listed.
    int collect_usb_hid_info(Program& p);
};

// The callers' check before a camera command: runs discovery when the camera is not open yet;
// when it is still not found shows "Sorry, No camera found on USB" and returns false (the next
// call tries again). After a successful discovery asks the camera's model (get_ccd_type).
// A caller that loads the settings first (they hold `ignore_pid`) does so before calling this.
bool find_camera(Program& p);

// One write of `ByteCount` bytes of `camdata`. False (with its message) when the write failed,
// no camera is open, or `ByteCount` does not fit the command block.
bool send_block(Program& p);
// One read of `ByteCount` bytes into `ReportBuffer`. False (with "Error %d trying to read KVRIO
// data from USB\n" and the system error number) when the read failed or came back short; the
// caller must not use the reply then.
bool receive_block(Program& p);
// Closes the HID report pair and the camera interface; the link counts as closed afterwards.
void close_usb_device(Program& p);

// The HID report pair through `p.HidHandle`. Reports carry a leading report id, always 0.
// read_usb_device reads one input report of `count` (1 … 254) data bytes into `destination`, which
// must hold `count` bytes; write_usb_device writes `count` (0 … 254) bytes of `source` as one
// output report. Both refuse other counts with their message and move nothing.
bool read_usb_device(Program& p, uint8_t* destination, int count);
bool write_usb_device(Program& p, const uint8_t* source, int count);

}  // namespace kvr
