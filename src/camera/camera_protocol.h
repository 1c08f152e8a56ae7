#pragma once
// The camera's command blocks: layout, command codes, reply sizes. Shared by the program's camera
// link (camera/camera_commands.h, camera/readout.h) and by whatever answers it (the simulated
// camera), so both sides agree byte for byte.
//
// Every command is one block written to the camera's bulk OUT endpoint, at most 64 bytes:
//
//   offset 0  u8   request type   kRequestTypeOut (0x40), or kRequestTypeIn (0xC0) for kCmdModel
//   offset 1  u8   command        kCmd... below
//   offset 2  u16  value          field selector of a read, clear flags, relay bits
//   offset 4  u16  index          camera head (kHeadMain / kHeadGuider) for clear and read,
//                                 serial port number (0-based) for serial commands
//   offset 6  u16  length         parameter bytes that follow, or bytes wanted by a serial read
//   offset 8  ...  parameters
//
// Multi-byte fields are little-endian. Bytes the sender does not set are zero. A reply, when the
// command has one, is exactly the size listed and is read from the bulk IN endpoint in one
// transfer.
//
//   code  purpose                      value        index   length  sent     reply
//   0     echo                         0            0       1       9        1 (content ignored)
//   1     clear sensor                 kClear...    head    0       8        none
//   2     read after a camera delay    field        head    14      22       pixel block
//   3     read now                     field        head    10      18       pixel block
//   6     reset                        0            0       0       8        none
//   7     set sensor parameters        0            0       9       22       none
//   (kSetSensorParameters) 8     get sensor parameters        0            0       9       8 16 9
//   set guide relays             relay bits   0       0       8        none 10    write to camera
//   serial port  0            port    n       8 + n    none (text at offset 8) 11    read from
//   camera serial port 0            port    n       8        n 13    serial port status           0
//   port    0       8        none 14    camera model (type 0xC0)     0            0       2       8
//   2 (model, low byte first)
//
// Read parameters (commands 2 and 3), sensor coordinates:
//   offset 8  u16 x offset (first column)      offset 10 u16 y offset (first row of the field)
//   offset 12 u16 width in sensor columns      offset 14 u16 height in field rows
//   offset 16 u8  x binning                    offset 17 u8  y binning
//   offset 18 u32 delay in ms (command 2 only; the program sends only the low 16 bits, the upper
//                 two bytes are zero): the camera exposes this long, then reads.
//
// Pixel block of a read: main head (index 0) sends (width / xbin) × (height / ybin) 16-bit
// pixels, low byte first, row after row; the guider head (index 1) sends width × height 8-bit
// samples. With field selector 3 on the main head and y binning 1 the camera sums both fields
// on the chip (the binned read asks for 752 × 290 with x binning 2: 376 × 290 pixels).
#include <cstddef>
#include <cstdint>

namespace kvr {

// Header.
inline constexpr size_t kCommandHeaderBytes = 8;
inline constexpr size_t kCommandMaxBytes = 64;
inline constexpr uint8_t kRequestTypeOut = 0x40;
inline constexpr uint8_t kRequestTypeIn = 0xC0;
inline constexpr size_t kOffsetRequestType = 0;
inline constexpr size_t kOffsetCommand = 1;
inline constexpr size_t kOffsetValue = 2;
inline constexpr size_t kOffsetIndex = 4;
inline constexpr size_t kOffsetLength = 6;
inline constexpr size_t kOffsetParameters = 8;

// Command codes.
inline constexpr uint8_t kCmdEcho = 0;
inline constexpr uint8_t kCmdClear = 1;
inline constexpr uint8_t kCmdReadAfterDelay = 2;
inline constexpr uint8_t kCmdReadNow = 3;
inline constexpr uint8_t kCmdReset = 6;
inline constexpr uint8_t kCmdSetSensor = 7;
inline constexpr uint8_t kCmdGetSensor = 8;
inline constexpr uint8_t kCmdSetRelays = 9;
inline constexpr uint8_t kCmdSerialWrite = 10;
inline constexpr uint8_t kCmdSerialRead = 11;
inline constexpr uint8_t kCmdSerialStatus = 13;
inline constexpr uint8_t kCmdModel = 14;

// Camera heads (index field of clear and read commands).
inline constexpr uint16_t kHeadMain = 0;
inline constexpr uint16_t kHeadGuider = 1;

// Clear command value.
inline constexpr uint16_t kClearWholeSensor = 0;
inline constexpr uint16_t kClearVerticalRegisters = 8;

// Field selector (value of a read command).
inline constexpr uint16_t kField1 = 1;  // even frame rows
inline constexpr uint16_t kField2 = 2;  // odd frame rows
inline constexpr uint16_t kFieldBoth = 3;

// Read parameters.
inline constexpr size_t kOffsetReadX = 8;
inline constexpr size_t kOffsetReadY = 10;
inline constexpr size_t kOffsetReadWidth = 12;
inline constexpr size_t kOffsetReadHeight = 14;
inline constexpr size_t kOffsetReadBinX = 16;
inline constexpr size_t kOffsetReadBinY = 17;
inline constexpr size_t kOffsetReadDelay = 18;
inline constexpr uint16_t kReadNowParameterBytes = 10;
inline constexpr uint16_t kReadAfterDelayParameterBytes = 14;
inline constexpr size_t kReadNowBlockBytes = 18;
inline constexpr size_t kReadAfterDelayBlockBytes = 22;

// Sensor geometry as the read commands address it.
inline constexpr uint16_t kSensorColumns = 752;
inline constexpr uint16_t kSensorFieldRows = 290;
inline constexpr uint16_t kGuiderColumns = 500;
inline constexpr uint16_t kGuiderRows = 290;
inline constexpr uint16_t kWindowSize = 128;  // focus and self-guide window, both ways

// Pixel pitches, µm. Both heads' columns are 8.6 wide and the main sensor's rows 8.3 tall. A row of
// one field of the main sensor spans two sensor rows, and so does a guider row (the head reads both
// fields of its interlaced sensor as one): guide frames (a field of the main sensor, or the guider)
// have rows 16.6 tall, a little less than twice their columns' width.
inline constexpr double kColumnPitchUm = 8.6;
inline constexpr double kSensorRowPitchUm = 8.3;
inline constexpr double kFieldRowPitchUm = 2 * kSensorRowPitchUm;
// The sky height of a guide-frame row, in column widths (1.93).
inline constexpr double kFieldRowInColumns = kFieldRowPitchUm / kColumnPitchUm;

// Reply sizes in bytes.
inline constexpr size_t kEchoBlockBytes = 9;
inline constexpr size_t kEchoReplyBytes = 1;
inline constexpr size_t kModelReplyBytes = 2;
inline constexpr size_t kGetSensorReplyBytes = 16;
inline constexpr size_t kFieldReplyBytes = 2u * kSensorColumns * kSensorFieldRows;         // 436160
inline constexpr size_t kBinnedReplyBytes = 2u * (kSensorColumns / 2) * kSensorFieldRows;  // 218080
inline constexpr size_t kWindowReplyBytes = 2u * kWindowSize * kWindowSize;                // 32768
inline constexpr size_t kGuiderReplyBytes = size_t{kGuiderColumns} * kGuiderRows;          // 145000

// Serial pass-through: a mount answer is asked for as 33 bytes; a one-byte status read comes
// first when the program checks a go-to.
inline constexpr uint16_t kSerialAnswerBytes = 33;

// Command 7's fixed parameter block (offsets 8 … 21); its length field says 9.
inline constexpr uint16_t kSetSensorLengthField = 9;
inline constexpr uint16_t kGetSensorLengthField = 9;
inline constexpr uint8_t kSetSensorParameters[14] = {18, 30,  112, 5,   6, 1, 16,
                                                     4,  115, 6,   115, 6, 2, 3};

// Little-endian field access, for builders and for devices decoding a block.
inline uint16_t get_le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t get_le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline void put_le16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put_le32(uint8_t* p, uint32_t v) {
    put_le16(p, static_cast<uint16_t>(v));
    put_le16(p + 2, static_cast<uint16_t>(v >> 16));
}

// A decoded command header.
struct CommandHeader {
    uint8_t request_type = 0;
    uint8_t command = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
};

inline CommandHeader decode_command_header(const uint8_t* block) {
    return {block[kOffsetRequestType], block[kOffsetCommand], get_le16(block + kOffsetValue),
            get_le16(block + kOffsetIndex), get_le16(block + kOffsetLength)};
}

// A decoded read request (commands 2 and 3). delay_ms is 0 for command 3.
struct ReadRequest {
    uint16_t field = 0;  // kField1, kField2, kFieldBoth
    uint16_t head = 0;   // kHeadMain, kHeadGuider
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t bin_x = 1;
    uint8_t bin_y = 1;
    uint32_t delay_ms = 0;
};

// The whole guider head: both fields, 500 × 290 samples.
inline ReadRequest guider_frame_request() {
    ReadRequest r;
    r.field = kFieldBoth;
    r.head = kHeadGuider;
    r.width = kGuiderColumns;
    r.height = kGuiderRows;
    return r;
}

inline ReadRequest decode_read_request(const uint8_t* block) {
    const CommandHeader h = decode_command_header(block);
    ReadRequest r;
    r.field = h.value;
    r.head = h.index;
    r.x = get_le16(block + kOffsetReadX);
    r.y = get_le16(block + kOffsetReadY);
    r.width = get_le16(block + kOffsetReadWidth);
    r.height = get_le16(block + kOffsetReadHeight);
    r.bin_x = block[kOffsetReadBinX];
    r.bin_y = block[kOffsetReadBinY];
    r.delay_ms = h.command == kCmdReadAfterDelay ? get_le32(block + kOffsetReadDelay) : 0;
    return r;
}

// Bytes of the pixel block that answers `r`; 0 for a request with a zero binning.
inline size_t read_reply_bytes(const ReadRequest& r) {
    if (r.bin_x == 0 || r.bin_y == 0) return 0;
    const size_t pixels = size_t{r.width} / r.bin_x * (size_t{r.height} / r.bin_y);
    return r.head == kHeadGuider ? pixels : 2 * pixels;
}

}  // namespace kvr
