#pragma once
// State of the camera's USB link and command protocol.
#include <cstdint>

#include "core/state_macros.h"

namespace kvr {

inline constexpr int kUsbIdChars = 5;  // 4 hex digits and the terminator

// got_kv: the camera was found and is open (every camera and guiding command tests it).
// kv_vid / kv_pid: the 4 hex digits after "vid" / "pid" in the last device path looked at.
// kv_cam_pid: the camera's product id. ignore_pid: open the interface whatever its product id
// (stored setting). Win98: the host is of the old interrupt-masking family; always 0 on this
// platform. ByteCount: bytes of the next block to send or receive; BytesReturned / BytesWritten:
// counts of the last read and write. camtype: the camera's model reply, first byte low. slewport:
// the camera serial port whose status get_serial asks for.
#define KVR_LINK_STATE(V, T, A, L)     \
    V(int, OpenUSBinterfaces, 0)       \
    V(int, got_kv, 0)                  \
    T(kv_vid, kUsbIdChars, "")         \
    T(kv_pid, kUsbIdChars, "")         \
    T(kv_cam_pid, kUsbIdChars, "0107") \
    V(int, ignore_pid, 0)              \
    V(int, Win98, 0)                   \
    V(int32_t, ByteCount, 0)           \
    V(unsigned, BytesReturned, 0)      \
    V(unsigned, BytesWritten, 0)       \
    V(int16_t, camtype, 0)             \
    V(int, slewport, 0)
KVR_STATE_STRUCT(LinkState, KVR_LINK_STATE)

}  // namespace kvr
