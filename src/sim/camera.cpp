#include "sim/camera.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/image_store.h"

namespace kvr::sim {

namespace {

// Random streams of the camera's own noise and fixed patterns (the sky uses others).
constexpr uint64_t kStreamMainPattern = 10;
constexpr uint64_t kStreamGuiderPattern = 11;
constexpr uint64_t kStreamNoise = 20;

constexpr double kFieldPixels = double{kSensorColumns} * kSensorFieldRows;

// The length field a command must carry, as the camera checks it; -1 where it varies (a serial
// write says how much text follows, a serial read and the model query how much they want).
int required_length_field(uint8_t command) {
    switch (command) {
        case kCmdEcho:
            return 1;
        case kCmdReadAfterDelay:
            return kReadAfterDelayParameterBytes;
        case kCmdReadNow:
            return kReadNowParameterBytes;
        case kCmdSetSensor:
            return kSetSensorLengthField;
        case kCmdGetSensor:
            return kGetSensorLengthField;
        case kCmdSerialWrite:
        case kCmdSerialRead:
        case kCmdModel:
            return -1;
        default:
            return 0;
    }
}

HeadGeometry main_geometry() {
    HeadGeometry g;
    g.columns = kSensorColumns;
    g.field_rows = kSensorFieldRows;
    g.fields = 2;
    g.scale_y = kMainRowSkyPx;
    g.bytes_per_sample = 2;
    return g;
}

HeadGeometry guider_geometry(const GuiderGeometry& guider) {
    HeadGeometry g;
    g.columns = kGuiderColumns;
    g.field_rows = kGuiderRows;
    g.fields = 1;
    g.origin_x = guider.origin_x;
    g.origin_y = guider.origin_y;
    g.scale_x = guider.scale_x;
    g.scale_y = guider.scale_y;
    g.bytes_per_sample = 1;
    g.view = 1;
    return g;
}

}  // namespace

std::shared_ptr<Sky> make_sky(Clock& clock, const CameraConfig& config) {
    const GuiderGeometry& g = config.guider;
    const double main_height = 2.0 * kSensorFieldRows * kMainRowSkyPx;
    const double guider_x1 = g.origin_x + kGuiderColumns * g.scale_x;
    const double guider_y1 = g.origin_y + kGuiderRows * g.scale_y;
    StarFieldLandmarks landmarks;
    landmarks.main_width = kSensorColumns;
    landmarks.main_height = main_height;
    landmarks.focus_x = kDefaultFocusX + kWindowSize / 2.0;
    landmarks.focus_y = 2.0 * (kDefaultFocusY + kWindowSize / 2.0) * kMainRowSkyPx;
    landmarks.guider_x = (g.origin_x + guider_x1) / 2;
    landmarks.guider_y = (g.origin_y + guider_y1) / 2;
    SkyArea area;
    area.x0 = std::min(0.0, g.origin_x);
    area.y0 = std::min(0.0, g.origin_y);
    area.x1 = std::max(double{kSensorColumns}, guider_x1);
    area.y1 = std::max(main_height, guider_y1);
    auto sky = std::make_shared<Sky>(clock, config.seed, config.star_field, landmarks, area,
                                     config.conditions);
    sky->set_drift(config.drift_x_px_per_s, config.drift_y_px_per_s);
    return sky;
}

Camera::Camera(std::shared_ptr<Sky> sky, const CameraConfig& config)
    : sky_(std::move(sky)),
      behaviour_(config.behaviour),
      guider_throughput_(config.guider.throughput),
      main_(main_geometry(), config.main_sensor, config.seed, kStreamMainPattern),
      guider_(guider_geometry(config.guider), config.guider_sensor, config.seed,
              kStreamGuiderPattern),
      noise_rng_(config.seed, kStreamNoise),
      reply_bytes_(kMaxBlockBytes) {
    std::copy_n(kSetSensorParameters, kSensorParameterBytes, sensor_parameters_);
    const int64_t now = sky_->now_ms();
    main_.clear(now);
    guider_.clear(now);
}

bool Camera::present() {
    if (unplugged_until_ms_ < 0) return true;
    const int64_t now = sky_->now_ms();
    if (now < unplugged_until_ms_) return false;
    // Plugged in again: powered up with nothing pending.
    unplugged_until_ms_ = -1;
    reply_ = Reply{};
    halted_ = false;
    main_.clear(now);
    guider_.clear(now);
    set_relays(0, now);
    return true;
}

int Camera::write_block(const uint8_t* data, size_t length) {
    if (!present()) return ENODEV;
    // The command endpoint takes one packet of at most 64 bytes per command.
    if (length > kCommandMaxBytes) return EPIPE;
    if (length > 0 && data == nullptr) return EFAULT;
    const int64_t now = sky_->now_ms();
    // A new command ends whatever reply was still unread.
    reply_ = Reply{};
    halted_ = !execute(data, length, now);
    return 0;
}

int Camera::read_block(uint8_t* data, size_t length, size_t& received) {
    received = 0;
    if (length > 0 && data == nullptr) return EFAULT;
    if (!present()) return ENODEV;
    if (halted_) return EPIPE;
    const int64_t deadline = sky_->now_ms() + behaviour_.transfer_timeout_ms;
    if (!reply_.active || reply_.ready_ms > deadline) {
        sky_->wait_until(deadline);
        return ETIMEDOUT;
    }
    sky_->wait_until(reply_.ready_ms);
    if (reply_.render_pending) {
        const double throughput =
            reply_.head == &guider_ ? guider_throughput_ : behaviour_.filter_throughput;
        // A read that takes the whole block at once gets it drawn straight into its buffer.
        const bool whole = !reply_.fault && reply_.sent == 0 && length >= reply_.size;
        reply_.head->render(reply_.request, reply_.fields, *sky_, throughput, behaviour_.noise,
                            noise_rng_, whole ? data : reply_bytes_.data());
        reply_.render_pending = false;
        if (whole) {
            reply_.sent = reply_.size;
            received = reply_.size;
            reply_.active = false;
            return received == length ? 0 : EIO;
        }
    }
    // A fault strikes when the transfer reaches the middle of the block.
    if (reply_.fault && reply_.sent + std::min(length, reply_.size - reply_.sent) > reply_.size / 2)
        return fail_transfer(data, length, received);
    const size_t n = std::min(length, reply_.size - reply_.sent);
    if (n > 0) std::memcpy(data, reply_bytes_.data() + reply_.sent, n);
    reply_.sent += n;
    received = n;
    if (reply_.sent == reply_.size) reply_.active = false;
    return n == length ? 0 : EIO;
}

bool Camera::execute(const uint8_t* block, size_t length, int64_t now_ms) {
    if (length < kCommandHeaderBytes) return false;
    const CommandHeader h = decode_command_header(block);
    if (h.request_type != kRequestTypeOut && h.request_type != kRequestTypeIn) return false;
    const int required_length = required_length_field(h.command);
    if (required_length >= 0 && h.length != required_length) return false;
    const uint8_t* parameters = block + kOffsetParameters;
    const size_t parameter_bytes = length - kCommandHeaderBytes;
    switch (h.command) {
        case kCmdEcho:
            if (parameter_bytes < 1) return false;
            reply_bytes_[0] = parameters[0];
            reply_now(kEchoReplyBytes, now_ms);
            return true;
        case kCmdClear: {
            SensorHead* head = head_at(h.index);
            if (!head) return false;
            // Clearing only the vertical registers leaves the photosites collecting light.
            if (!(h.value & kClearVerticalRegisters)) head->clear(now_ms);
            return true;
        }
        case kCmdReadAfterDelay:
        case kCmdReadNow:
            return start_read(block, length, h, now_ms);
        case kCmdReset:
            main_.clear(now_ms);
            guider_.clear(now_ms);
            std::copy_n(kSetSensorParameters, kSensorParameterBytes, sensor_parameters_);
            set_relays(0, now_ms);
            return true;
        case kCmdSetSensor:
            if (parameter_bytes < kSensorParameterBytes) return false;
            std::copy_n(parameters, kSensorParameterBytes, sensor_parameters_);
            return true;
        case kCmdGetSensor:
            std::fill_n(reply_bytes_.begin(), kGetSensorReplyBytes, 0);
            std::copy_n(sensor_parameters_, kSensorParameterBytes, reply_bytes_.begin());
            reply_now(kGetSensorReplyBytes, now_ms);
            return true;
        case kCmdSetRelays:
            set_relays(h.value, now_ms);
            return true;
        case kCmdSerialWrite:
            if (parameter_bytes != h.length) return false;
            if (ports_) ports_->serial_write(h.index, parameters, h.length, now_ms);
            return true;
        case kCmdSerialRead:
            std::fill_n(reply_bytes_.begin(), h.length, 0);
            if (ports_) ports_->serial_read(h.index, reply_bytes_.data(), h.length, now_ms);
            reply_now(h.length, now_ms);
            return true;
        case kCmdSerialStatus:
            return true;
        case kCmdModel:
            reply_bytes_[0] = static_cast<uint8_t>(kModelCode & 0xFF);
            reply_bytes_[1] = static_cast<uint8_t>(kModelCode >> 8);
            // Like a control request, the answer is cut to the length asked for.
            reply_now(std::min<size_t>(h.length, kModelReplyBytes), now_ms);
            return true;
        default:
            return false;
    }
}

bool Camera::start_read(const uint8_t* block, size_t length, const CommandHeader& h,
                        int64_t now_ms) {
    const size_t needed =
        h.command == kCmdReadAfterDelay ? kReadAfterDelayBlockBytes : kReadNowBlockBytes;
    if (length < needed) return false;
    SensorHead* head = head_at(h.index);
    if (!head) return false;
    const ReadRequest r = decode_read_request(block);
    if (!head->accepts(r)) return false;
    // The charge leaves the photosites when the delay is over; the pixels then take the
    // download time to come out.
    const int64_t transfer_ms = now_ms + r.delay_ms;
    reply_.active = true;
    reply_.render_pending = true;
    reply_.head = head;
    reply_.request = r;
    reply_.fields = head->transfer(r.field, transfer_ms);
    reply_.size = head->reply_bytes(r);
    reply_.sent = 0;
    reply_.ready_ms = transfer_ms + download_ms(head->reply_pixels(r));
    if (head == &main_) {
        ++main_reads_;
        for (const CameraFault& f : behaviour_.faults)
            if (f.main_read == main_reads_) reply_.fault = f;
    }
    return true;
}

// The block arrives up to its middle, then the fault ends the transfer.
int Camera::fail_transfer(uint8_t* data, size_t length, size_t& received) {
    const CameraFault fault = *reply_.fault;
    const size_t n = std::min(length, reply_.size / 2 - reply_.sent);
    std::memcpy(data, reply_bytes_.data() + reply_.sent, n);
    received = n;
    reply_ = Reply{};
    switch (fault.kind) {
        case CameraFaultKind::ShortBlock:
            return EIO;
        case CameraFaultKind::Timeout:
            sky_->wait_until(sky_->now_ms() + behaviour_.transfer_timeout_ms);
            return ETIMEDOUT;
        case CameraFaultKind::Stall:
            halted_ = true;
            return EPIPE;
        case CameraFaultKind::Unplug:
            ++plug_generation_;
            unplugged_until_ms_ = sky_->now_ms() + fault.unplugged_ms;
            return ENODEV;
    }
    return EIO;
}

SensorHead* Camera::head_at(uint16_t index) {
    if (index == kHeadMain) return &main_;
    if (index == kHeadGuider) return &guider_;
    return nullptr;
}

void Camera::reply_now(size_t size, int64_t now_ms) {
    reply_.active = true;
    reply_.render_pending = false;
    reply_.size = size;
    reply_.sent = 0;
    reply_.ready_ms = now_ms;
}

void Camera::set_relays(uint16_t bits, int64_t now_ms) {
    relay_bits_ = bits;
    if (ports_) ports_->relays_changed(bits, now_ms);
}

uint32_t Camera::download_ms(size_t pixels) const {
    return static_cast<uint32_t>(behaviour_.download_ms_per_field * (pixels / kFieldPixels) + 0.5);
}

}  // namespace kvr::sim
