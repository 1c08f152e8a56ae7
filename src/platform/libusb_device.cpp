#include "platform/libusb_device.h"

#include <libusb.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <tuple>

namespace kvr {

class LibusbSession {
  public:
    LibusbSession() {
        if (libusb_init(&context_) != 0) context_ = nullptr;
    }
    ~LibusbSession() {
        if (context_) libusb_exit(context_);
    }
    LibusbSession(const LibusbSession&) = delete;
    LibusbSession& operator=(const LibusbSession&) = delete;
    libusb_context* context() const { return context_; }

  private:
    libusb_context* context_ = nullptr;
};

namespace {

constexpr uint8_t kVendorSpecificClass = 0xFF;

int errno_from_libusb(int code) {
    switch (code) {
        case LIBUSB_ERROR_IO:
            return EIO;
        case LIBUSB_ERROR_INVALID_PARAM:
            return EINVAL;
        case LIBUSB_ERROR_ACCESS:
            return EACCES;
        case LIBUSB_ERROR_NO_DEVICE:
            return ENODEV;
        case LIBUSB_ERROR_NOT_FOUND:
            return ENOENT;
        case LIBUSB_ERROR_BUSY:
            return EBUSY;
        case LIBUSB_ERROR_TIMEOUT:
            return ETIMEDOUT;
        case LIBUSB_ERROR_OVERFLOW:
            return EOVERFLOW;
        case LIBUSB_ERROR_PIPE:
            return EPIPE;
        case LIBUSB_ERROR_INTERRUPTED:
            return EINTR;
        case LIBUSB_ERROR_NO_MEM:
            return ENOMEM;
        case LIBUSB_ERROR_NOT_SUPPORTED:
            return EOPNOTSUPP;
        default:
            return EIO;
    }
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct BulkPair {
    uint8_t out = 0;
    uint8_t in = 0;
};

// The bulk endpoints of an interface setting, when it has exactly one of each direction.
std::optional<BulkPair> single_bulk_pair(const libusb_interface_descriptor& setting) {
    BulkPair pair;
    int outs = 0;
    int ins = 0;
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& ep = setting.endpoint[e];
        if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
        if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
            pair.in = ep.bEndpointAddress;
            ++ins;
        } else {
            pair.out = ep.bEndpointAddress;
            ++outs;
        }
    }
    if (outs != 1 || ins != 1) return std::nullopt;
    return pair;
}

std::string read_string(libusb_device_handle* handle, uint8_t index) {
    if (!handle || index == 0) return {};
    unsigned char text[256];
    const int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1);
    if (n <= 0) return {};
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(n));
}

}  // namespace

std::optional<uint16_t> parse_usb_id(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        const int d = hex_digit(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return static_cast<uint16_t>(value);
}

// ---- LibusbBlockDevice ----

LibusbBlockDevice::LibusbBlockDevice(std::shared_ptr<LibusbSession> session,
                                     libusb_device_handle* handle, int interface_number,
                                     uint8_t endpoint_out, uint8_t endpoint_in,
                                     bool reattach_kernel_driver, std::chrono::milliseconds timeout)
    : session_(std::move(session)),
      handle_(handle),
      interface_number_(interface_number),
      endpoint_out_(endpoint_out),
      endpoint_in_(endpoint_in),
      reattach_kernel_driver_(reattach_kernel_driver),
      timeout_(timeout) {}

LibusbBlockDevice::~LibusbBlockDevice() {
    // Both calls fail harmlessly when the device has gone.
    libusb_release_interface(handle_, interface_number_);
    if (reattach_kernel_driver_) libusb_attach_kernel_driver(handle_, interface_number_);
    libusb_close(handle_);
}

int LibusbBlockDevice::write_block(const uint8_t* data, size_t length) {
    size_t written = 0;
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    return transfer(endpoint_out_, const_cast<uint8_t*>(data), length, written);
}

int LibusbBlockDevice::read_block(uint8_t* data, size_t length, size_t& received) {
    return transfer(endpoint_in_, data, length, received);
}

int LibusbBlockDevice::transfer(uint8_t endpoint, uint8_t* data, size_t length, size_t& moved) {
    using std::chrono::milliseconds;
    using std::chrono::steady_clock;
    moved = 0;
    if (gone_) return ENODEV;
    if (length > static_cast<size_t>(INT_MAX)) return EINVAL;
    if (length == 0) return 0;

    // The device gets its timeout to start plus time for the block itself at the slowest rate.
    const auto deadline =
        steady_clock::now() + timeout_ + milliseconds(length / kSlowestBytesPerMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) break;
        int chunk = 0;
        const int r = libusb_bulk_transfer(
            handle_, endpoint, data + moved, static_cast<int>(length - moved), &chunk,
            static_cast<unsigned>(std::min<long long>(left, UINT_MAX)));
        moved += static_cast<size_t>(std::max(chunk, 0));
        if (r != 0 && r != LIBUSB_ERROR_TIMEOUT) {
            if (r == LIBUSB_ERROR_NO_DEVICE) gone_ = true;
            // A stalled endpoint stays halted until cleared; clear it so the next block can move.
            if (r == LIBUSB_ERROR_PIPE) libusb_clear_halt(handle_, endpoint);
            return errno_from_libusb(r);
        }
        if (moved >= length) return 0;
        if (r == LIBUSB_ERROR_TIMEOUT) break;
        // Success with fewer bytes: the device ended a packet short; the rest may follow.
    }
    // Out of time: nothing at all is a timeout, a part of the block is a short transfer.
    return moved == 0 ? ETIMEDOUT : EIO;
}

// ---- LibusbEnumerator ----

LibusbEnumerator::LibusbEnumerator(std::optional<uint16_t> vendor_id,
                                   std::chrono::milliseconds timeout)
    : session_(std::make_shared<LibusbSession>()), vendor_id_(vendor_id), timeout_(timeout) {
    candidates_.reserve(kMaxInterfaceMembers);
    if (const char* env = std::getenv(kUsbVendorEnvironment); env && *env) {
        if (auto id = parse_usb_id(env)) {
            vendor_id_ = id;
        } else {
            setup_error_ = std::string(kUsbVendorEnvironment) +
                           " must be a USB vendor id of 1 to 4 hex digits, not \"" + env + "\"";
        }
    }
    if (setup_error_.empty() && !session_->context()) setup_error_ = "libusb could not start";
}

LibusbEnumerator::~LibusbEnumerator() {
    release_candidates();
}

void LibusbEnumerator::release_candidates() {
    for (Candidate& c : candidates_) libusb_unref_device(c.device);
    candidates_.clear();
}

bool LibusbEnumerator::begin() {
    release_candidates();
    if (!setup_error_.empty()) return false;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(session_->context(), &list);
    if (count < 0) return false;
    for (ssize_t i = 0; i < count; ++i) collect_candidates(list[i]);
    libusb_free_device_list(list, 1);

    // libusb lists devices in no fixed order; sort by bus position so that member indices stay
    // the same from one discovery to the next.
    std::sort(candidates_.begin(), candidates_.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.bus, a.ports, a.interface_number) <
               std::tie(b.bus, b.ports, b.interface_number);
    });
    while (candidates_.size() > static_cast<size_t>(kMaxInterfaceMembers)) {
        libusb_unref_device(candidates_.back().device);
        candidates_.pop_back();
    }
    name_candidates();
    return true;
}

void LibusbEnumerator::collect_candidates(libusb_device* device) {
    libusb_device_descriptor desc;
    if (libusb_get_device_descriptor(device, &desc) != 0) return;
    if (vendor_id_ && desc.idVendor != *vendor_id_) return;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0) return;

    Candidate base;
    base.info.vid = desc.idVendor;
    base.info.pid = desc.idProduct;
    base.bus = libusb_get_bus_number(device);
    uint8_t ports[8];
    const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
    if (depth > 0) base.ports.assign(ports, ports + depth);
    base.manufacturer_index = desc.iManufacturer;
    base.product_index = desc.iProduct;

    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& iface = config->interface[i];
        // The interface is used in its default setting, the one a claim leaves it in.
        if (iface.num_altsetting < 1) continue;
        const libusb_interface_descriptor& setting = iface.altsetting[0];
        if (setting.bInterfaceClass != kVendorSpecificClass) continue;
        const auto pair = single_bulk_pair(setting);
        if (!pair) continue;
        Candidate c = base;
        c.device = libusb_ref_device(device);
        c.interface_number = setting.bInterfaceNumber;
        c.endpoint_out = pair->out;
        c.endpoint_in = pair->in;
        candidates_.push_back(std::move(c));
    }
    libusb_free_config_descriptor(config);
}

void LibusbEnumerator::name_candidates() {
    const Candidate* previous = nullptr;
    for (Candidate& c : candidates_) {
        char ids[32];
        std::snprintf(ids, sizeof ids, "usb#vid_%04x&pid_%04x#", c.info.vid, c.info.pid);
        std::string path = ids + std::to_string(c.bus);
        for (size_t k = 0; k < c.ports.size(); ++k) {
            path += k == 0 ? '-' : '.';
            path += std::to_string(c.ports[k]);
        }
        // A second candidate interface on the same device gets its interface number, so that
        // every path names one interface.
        if (previous && previous->device == c.device) {
            path += ':' + std::to_string(c.interface_number);
        }
        c.info.path = std::move(path);

        // Strings need the device open; a device we may not open keeps them empty.
        libusb_device_handle* handle = nullptr;
        if (libusb_open(c.device, &handle) == 0) {
            c.info.manufacturer = read_string(handle, c.manufacturer_index);
            c.info.product = read_string(handle, c.product_index);
            libusb_close(handle);
        }
        previous = &c;
    }
}

std::optional<DeviceInterfaceInfo> LibusbEnumerator::interface_at(int member_index) {
    if (member_index < 0 || static_cast<size_t>(member_index) >= candidates_.size()) {
        return std::nullopt;
    }
    return candidates_[static_cast<size_t>(member_index)].info;
}

std::unique_ptr<BlockDevice> LibusbEnumerator::open(const DeviceInterfaceInfo& info, int& error) {
    const auto it = std::find_if(candidates_.begin(), candidates_.end(),
                                 [&](const Candidate& c) { return c.info.path == info.path; });
    if (it == candidates_.end()) {
        error = ENODEV;
        return nullptr;
    }
    libusb_device_handle* handle = nullptr;
    if (const int r = libusb_open(it->device, &handle); r != 0) {
        error = errno_from_libusb(r);
        return nullptr;
    }
    bool detached = false;
    if (libusb_kernel_driver_active(handle, it->interface_number) == 1) {
        if (const int r = libusb_detach_kernel_driver(handle, it->interface_number); r != 0) {
            error = errno_from_libusb(r);
            libusb_close(handle);
            return nullptr;
        }
        detached = true;
    }
    if (const int r = libusb_claim_interface(handle, it->interface_number); r != 0) {
        error = errno_from_libusb(r);
        if (detached) libusb_attach_kernel_driver(handle, it->interface_number);
        libusb_close(handle);
        return nullptr;
    }
    error = 0;
    return std::make_unique<LibusbBlockDevice>(session_, handle, it->interface_number,
                                               it->endpoint_out, it->endpoint_in, detached,
                                               timeout_);
}

}  // namespace kvr
