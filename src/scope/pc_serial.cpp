#include "scope/pc_serial.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/messages.h"
#include "core/program.h"
#include "core/serial_port.h"
#include "scope/drive_commands.h"

namespace kvr {

namespace {

constexpr char kOpenFailed[] = "Open Communications Failed";
constexpr uint32_t kWriteSettleMs = 10;
// A write of a few bytes at 9600 baud takes milliseconds; a line that takes none for a second
// is stuck.
constexpr uint32_t kWriteTimeoutMs = 1000;

}  // namespace

std::string pc_port_device(int port) {
    if (port < 0 || port >= kPcPorts) return "";
    const std::string n = std::to_string(port);
    const std::string name = "KVR_Q4_COM" + std::to_string(port + 1);
    if (const char* set = std::getenv(name.c_str()); set && *set) return set;
    std::error_code ec;
    const std::string usb = "/dev/ttyUSB" + n;
    if (std::filesystem::exists(usb, ec)) return usb;
    return "/dev/ttyS" + n;
}

int pc_serial_error_check(Program& p, int code) {
    if (code >= 0) return code;
    message50f(p, "ERROR %d ", code);
    pc_serial_close(p);
    return -1;
}

int pc_serial_check(Program& p) {
    SerialPort* port = p.scope.pc_serial.get();
    const int index = p.settings.PC_port;
    const std::string device = pc_port_device(index);
    int result = -ENODEV;
    if (port && !device.empty()) {
        result = pc_serial_error_check(p, port->open(device));
        // Each step needs the open port: after a failure (which closed it) the rest is skipped.
        if (result >= 0) result = pc_serial_error_check(p, port->set_baud(kPcSerialBaud));
        if (result >= 0) result = pc_serial_error_check(p, port->set_dtr(true));
        if (result >= 0) result = pc_serial_error_check(p, port->set_rts(true));
        if (result >= 0)
            result = pc_serial_error_check(
                p, port->set_format(kPcSerialDataBits, Parity::None, kPcSerialStopBits));
    } else {
        pc_serial_error_check(p, result);
    }
    if (result < 0) {
        std::string where = device.empty() ? "no device" : device;
        if (!port) where += ", no serial port support in this build";
        p.host.diagnostic("PC serial port COM" + std::to_string(index + 1) + " (" + where +
                          ") could not be opened");
        message50(p, kOpenFailed);
        return 0;
    }
    return 1;
}

void pc_serial_write(Program& p, int AOchars) {
    SerialPort* port = p.scope.pc_serial.get();
    const uint32_t t0 = p.clock.ms();
    const size_t count = static_cast<size_t>(std::clamp(AOchars, 0, kAoCommandBytes));
    if (port) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(p.scope.AOUnitcommand);
        pc_serial_error_check(p, port->write(bytes, count, kWriteTimeoutMs));
    }
    block_until(p, t0 + 1);
    block_for(p, kWriteSettleMs);
}

void pc_serial_read(Program& p) {
    SerialPort* port = p.scope.pc_serial.get();
    uint8_t* reply = p.buf->ReportBuffer;
    reply[0] = 0;
    if (!port) return;
    const int n =
        pc_serial_error_check(p, port->read(reply, kPcSerialReplyBytes, kPcSerialReadTimeoutMs));
    reply[std::max(n, 0)] = 0;
    if (port->is_open()) pc_serial_error_check(p, port->discard_input());
}

void pc_serial_close(Program& p) {
    if (p.scope.pc_serial) p.scope.pc_serial->close();
    p.scope.PC_Serial_check = 0;
}

}  // namespace kvr
