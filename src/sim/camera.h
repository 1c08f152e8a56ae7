#pragma once
// The simulated camera: a block device that takes the camera's command blocks and answers them
// as the camera does, with the exact reply lengths, from a simulated sky seen by its two heads
// (the interlaced 752 × 580 main sensor and the 500 × 290 guider head).
//
// Timing follows the shared clock: a camera-timed read (command 2) collects light for its delay
// after the block arrives; the pixels then take the download time to come out, and a read of
// the reply blocks on the clock until they have. A field collects light from the last clear of
// the whole sensor (or its own last read) until the moment it is read.
//
// A block the camera cannot carry out (shorter than its command needs, a length field other than
// its command's, an unknown command, a read outside the sensor) is taken from the bus and refused:
// the camera halts its reply pipe, so the next read fails with EPIPE and returns nothing. A write
// longer than one 64-byte command packet fails at once with EPIPE. A read with no reply on its way
// waits the transfer timeout and fails with ETIMEDOUT. A read asking for more than the reply holds
// gets what there is and fails with EIO (a short read); one asking for less leaves the rest for the
// next read.
//
// The faults of `CameraBehaviour::faults` happen on their reads. While unplugged the camera
// answers nothing (ENODEV) and is not on the bus; when it comes back it has been powered up
// afresh, and handles opened before the unplug stay dead, as the operating system's do.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "camera/camera_protocol.h"
#include "core/block_device.h"
#include "sim/random.h"
#include "sim/sensor_head.h"
#include "sim/sim_config.h"
#include "sim/sky.h"

namespace kvr::sim {

// What is plugged into the camera's serial pass-through ports and its guide-relay output (a
// mount, an AO unit, a filter wheel). Times are the sky's timeline.
class CameraPorts {
  public:
    virtual ~CameraPorts() = default;
    virtual void relays_changed(uint16_t bits, int64_t at_ms) = 0;
    virtual void serial_write(uint16_t port, const uint8_t* bytes, size_t count, int64_t at_ms) = 0;
    // Fills `out` with the next `count` bytes the device on `port` has sent; bytes it has not
    // sent are zero.
    virtual void serial_read(uint16_t port, uint8_t* out, size_t count, int64_t at_ms) = 0;
};

class Camera : public BlockDevice {
  public:
    // The model query's answer, low byte first on the wire.
    static constexpr uint16_t kModelCode = 0x1205;
    // Command 7's parameter bytes as the camera keeps them, and command 8's reply.
    static constexpr size_t kSensorParameterBytes = 14;

    Camera(std::shared_ptr<Sky> sky, const CameraConfig& config);

    int write_block(const uint8_t* data, size_t length) override;
    int read_block(uint8_t* data, size_t length, size_t& received) override;

    Sky& sky() { return *sky_; }
    CameraBehaviour& behaviour() { return behaviour_; }
    SensorHead& main_head() { return main_; }
    SensorHead& guider_head() { return guider_; }
    double guider_throughput() const { return guider_throughput_; }
    // Whether the camera is on the bus now; counts up each time it is unplugged.
    bool present();
    // Whether a read now would get bytes or an error instead of waiting for a reply.
    bool has_reply() const { return halted_ || reply_.active || unplugged_until_ms_ >= 0; }
    uint32_t plug_generation() const { return plug_generation_; }

    // Nothing is plugged in until a port device is attached: serial writes go nowhere and serial
    // reads answer zeros.
    void attach_ports(std::shared_ptr<CameraPorts> ports) { ports_ = std::move(ports); }
    uint16_t relay_bits() const { return relay_bits_; }

    // Stars on each sensor at a moment of the sky's timeline, brightest first.
    std::vector<SensorStar> main_sensor_stars(int64_t at_ms) {
        return main_.stars(*sky_, at_ms, behaviour_.filter_throughput);
    }
    std::vector<SensorStar> guider_stars(int64_t at_ms) {
        return guider_.stars(*sky_, at_ms, guider_throughput_);
    }

  private:
    // The reply the camera is sending, or about to send.
    struct Reply {
        bool active = false;
        // A pixel block is rendered when its first byte is read, after the clock has reached
        // the moment it is ready.
        bool render_pending = false;
        SensorHead* head = nullptr;
        ReadRequest request;
        FieldTransfer fields;
        int64_t ready_ms = 0;
        size_t size = 0;
        size_t sent = 0;
        std::optional<CameraFault> fault;
    };

    bool execute(const uint8_t* block, size_t length, int64_t now_ms);
    bool start_read(const uint8_t* block, size_t length, const CommandHeader& h, int64_t now_ms);
    SensorHead* head_at(uint16_t index);
    void reply_now(size_t size, int64_t now_ms);
    void set_relays(uint16_t bits, int64_t now_ms);
    uint32_t download_ms(size_t pixels) const;
    int fail_transfer(uint8_t* data, size_t length, size_t& received);

    std::shared_ptr<Sky> sky_;
    CameraBehaviour behaviour_;
    double guider_throughput_;
    SensorHead main_;
    SensorHead guider_;
    Rng noise_rng_;
    std::shared_ptr<CameraPorts> ports_;
    uint16_t relay_bits_ = 0;
    uint8_t sensor_parameters_[kSensorParameterBytes];
    // Replies are built here (never larger than a full-width field; allocated once), but for a
    // pixel block that one read takes whole, which is drawn into that read's buffer.
    std::vector<uint8_t> reply_bytes_;
    Reply reply_;
    bool halted_ = false;
    uint32_t main_reads_ = 0;
    uint32_t plug_generation_ = 0;
    int64_t unplugged_until_ms_ = -1;  // -1: plugged in
};

// The sky for a camera made from `config`: its star field, with the planted stars placed for
// the default focus window and the guider's field, wrapped around both sensors.
std::shared_ptr<Sky> make_sky(Clock& clock, const CameraConfig& config);

}  // namespace kvr::sim
