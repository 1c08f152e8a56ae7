#include "camera/command_blocks.h"

#include <cstring>

#include "camera/usb_link.h"
#include "core/messages.h"
#include "core/program.h"

namespace kvr {

namespace {

constexpr int kSerialTextMax = static_cast<int>(kCommandMaxBytes - kCommandHeaderBytes);  // 56
constexpr int kSerialReadMax = 65535;  // the length field is 16 bits

// A camera-port answer becomes text: the bytes up to the first '#' (which becomes the
// terminator). Without a '#' all bytes are taken; the target's bytes past them are not written.
void copy_serial_answer(char* target, const uint8_t* answer) {
    for (size_t i = 0; i < kSerialAnswerBytes; ++i) {
        if (answer[i] == '#') {
            target[i] = '\0';
            return;
        }
        target[i] = static_cast<char>(answer[i]);
    }
}

// Command 11: send, then receive `count` bytes.
bool serial_read(Program& p, int port, int count) {
    begin_command(p, kRequestTypeOut, kCmdSerialRead, 0, static_cast<uint16_t>(port),
                  static_cast<uint16_t>(count));
    return send_command(p, kCommandHeaderBytes) && receive_reply(p, static_cast<size_t>(count));
}

}  // namespace

uint8_t* begin_command(Program& p, uint8_t request_type, uint8_t command, uint16_t value,
                       uint16_t index, uint16_t length) {
    uint8_t* block = p.buf->camdata;
    std::memset(block, 0, kCommandBlockBytes);
    block[kOffsetRequestType] = request_type;
    block[kOffsetCommand] = command;
    put_le16(block + kOffsetValue, value);
    put_le16(block + kOffsetIndex, index);
    put_le16(block + kOffsetLength, length);
    return block;
}

bool send_command(Program& p, size_t bytes) {
    p.link.ByteCount = static_cast<int32_t>(bytes);
    return send_block(p);
}

bool receive_reply(Program& p, size_t bytes) {
    p.link.ByteCount = static_cast<int32_t>(bytes);
    return receive_block(p);
}

bool send_read_command(Program& p, const ReadRequest& request, bool camera_timed) {
    uint8_t* block = begin_command(
        p, kRequestTypeOut, camera_timed ? kCmdReadAfterDelay : kCmdReadNow, request.field,
        request.head, camera_timed ? kReadAfterDelayParameterBytes : kReadNowParameterBytes);
    put_le16(block + kOffsetReadX, request.x);
    put_le16(block + kOffsetReadY, request.y);
    put_le16(block + kOffsetReadWidth, request.width);
    put_le16(block + kOffsetReadHeight, request.height);
    block[kOffsetReadBinX] = request.bin_x;
    block[kOffsetReadBinY] = request.bin_y;
    // Only the delay's low 16 bits go out; its upper two bytes stay zero.
    if (camera_timed) put_le16(block + kOffsetReadDelay, static_cast<uint16_t>(request.delay_ms));
    return send_command(p, camera_timed ? kReadAfterDelayBlockBytes : kReadNowBlockBytes);
}

bool clear_sensor(Program& p, uint16_t head, uint16_t flags) {
    begin_command(p, kRequestTypeOut, kCmdClear, flags, head, 0);
    return send_command(p, kCommandHeaderBytes);
}

bool clear_vertical(Program& p) {
    return clear_sensor(p, kHeadMain, kClearVerticalRegisters);
}

bool wiper(Program& p) {
    return clear_sensor(p, kHeadMain, kClearWholeSensor);
}

bool echo_ccd(Program& p) {
    begin_command(p, kRequestTypeOut, kCmdEcho, 0, 0, 1);
    return send_command(p, kEchoBlockBytes) && receive_reply(p, kEchoReplyBytes);
}

bool get_ccd_type(Program& p) {
    begin_command(p, kRequestTypeIn, kCmdModel, 0, 0, kModelReplyBytes);
    if (!send_command(p, kCommandHeaderBytes) || !receive_reply(p, kModelReplyBytes)) return false;
    p.link.camtype = static_cast<int16_t>(get_le16(p.buf->ReportBuffer));
    return true;
}

bool send_guide_relays(Program& p, uint8_t relay_bits) {
    begin_command(p, kRequestTypeOut, kCmdSetRelays, relay_bits, 0, 0);
    return send_command(p, kCommandHeaderBytes);
}

bool write_serial(Program& p, int port, const char* text, int length) {
    const int count = length & 0xFF;
    if (count > kSerialTextMax) {
        message50f(p, "Camera serial text of %d characters refused: at most %d fit one command",
                   count, kSerialTextMax);
        return false;
    }
    uint8_t* block =
        begin_command(p, kRequestTypeOut, kCmdSerialWrite, 0, static_cast<uint16_t>(port & 0xFF),
                      static_cast<uint16_t>(count));
    const size_t chars = strnlen(text, static_cast<size_t>(count));
    std::memcpy(block + kOffsetParameters, text, chars);
    return send_command(p, kCommandHeaderBytes + static_cast<size_t>(count));
}

bool read_serial(Program& p, int port, int count) {
    if (count < 0 || count > kSerialReadMax) {
        message50f(p, "Camera serial read of %d bytes refused: 0 to %d can be asked for", count,
                   kSerialReadMax);
        return false;
    }
    if (!serial_read(p, port, count)) return false;
    if (count == kSerialAnswerBytes) copy_serial_answer(p.scope.move_error, p.buf->ReportBuffer);
    return true;
}

bool check_serial_return(Program& p, int port) {
    if (!serial_read(p, port, 1)) return false;
    if (p.buf->ReportBuffer[0] == '0') {
        p.scope.scope_error[0] = '\0';
        return true;
    }
    if (!serial_read(p, port, kSerialAnswerBytes)) return false;
    copy_serial_answer(p.scope.scope_error, p.buf->ReportBuffer);
    return true;
}

bool read_serial_return(Program& p, int port) {
    return serial_read(p, port, 1);
}

bool reset_ccd(Program& p) {
    begin_command(p, kRequestTypeOut, kCmdReset, 0, 0, 0);
    return send_command(p, kCommandHeaderBytes);
}

bool set_ccd(Program& p) {
    uint8_t* block = begin_command(p, kRequestTypeOut, kCmdSetSensor, 0, 0, kSetSensorLengthField);
    std::memcpy(block + kOffsetParameters, kSetSensorParameters, sizeof kSetSensorParameters);
    return send_command(p, kCommandHeaderBytes + sizeof kSetSensorParameters);
}

bool get_ccd(Program& p) {
    begin_command(p, kRequestTypeOut, kCmdGetSensor, 0, 0, kGetSensorLengthField);
    return send_command(p, kCommandHeaderBytes) && receive_reply(p, kGetSensorReplyBytes);
}

bool get_serial(Program& p) {
    begin_command(p, kRequestTypeOut, kCmdSerialStatus, 0, static_cast<uint16_t>(p.link.slewport),
                  0);
    return send_command(p, kCommandHeaderBytes);
}

}  // namespace kvr
