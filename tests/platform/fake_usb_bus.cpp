#include "fake_usb_bus.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace kvr::test {

namespace {

constexpr uint8_t kManufacturerIndex = 1;
constexpr uint8_t kProductIndex = 2;
constexpr size_t kSetupBytes = 8;

void put16(std::vector<uint8_t>& d, unsigned v) {
    d.push_back(static_cast<uint8_t>(v & 0xFF));
    d.push_back(static_cast<uint8_t>(v >> 8));
}

unsigned bus_of(const std::string& sysfs_name) {
    return static_cast<unsigned>(
        std::stoul(sysfs_name.substr(sysfs_name.rfind("usb", 0) == 0 ? 3 : 0)));
}

// "/devices/.../usb1/1-2/1-2.3" for "1-2.3": every hub above the device is a parent directory.
std::string sysfs_path(const std::string& name) {
    const unsigned bus = bus_of(name);
    std::string path = "/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(bus);
    if (name.rfind("usb", 0) == 0) return path;
    for (size_t i = name.find('-'); i != std::string::npos; i = name.find('.', i + 1)) {
        const size_t end = name.find('.', i + 1);
        path += '/' + name.substr(0, end);
    }
    return path;
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char two[3];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        s += two;
    }
    return s;
}

// A resolved piece of the client's memory: a local copy that is written back when the request
// completes. resolve() hands out a reference of our own.
class Resolved {
  public:
    Resolved(UMockdevIoctlData* data, size_t offset, size_t length)
        : data_(umockdev_ioctl_data_resolve(data, offset, length, nullptr)) {}
    ~Resolved() {
        if (data_) umockdev_ioctl_data_unref(data_);
    }
    Resolved(const Resolved&) = delete;
    Resolved& operator=(const Resolved&) = delete;
    UMockdevIoctlData* get() const { return data_; }
    UMockdevIoctlData* release() { return std::exchange(data_, nullptr); }

  private:
    UMockdevIoctlData* data_;
};

}  // namespace

std::vector<uint8_t> descriptors_of(const FakeDeviceLayout& layout) {
    std::vector<uint8_t> d = {18, 1, 0x00, 0x02, layout.device_class, 0, 0, 64};
    put16(d, layout.vid);
    put16(d, layout.pid);
    put16(d, 0x0100);
    d.push_back(layout.manufacturer.empty() ? 0 : kManufacturerIndex);
    d.push_back(layout.product.empty() ? 0 : kProductIndex);
    d.push_back(0);  // no serial number
    d.push_back(1);  // one configuration

    std::vector<uint8_t> config = {9, 2, 0,    0, static_cast<uint8_t>(layout.interfaces.size()),
                                   1, 0, 0x80, 50};
    uint8_t number = 0;
    for (const FakeInterface& i : layout.interfaces) {
        config.insert(config.end(), {9, 4, number++, 0, static_cast<uint8_t>(i.endpoints.size()),
                                     i.interface_class, 0, 0, 0});
        for (const FakeEndpoint& e : i.endpoints) {
            config.insert(config.end(), {7, 5, e.address, e.attributes});
            put16(config, 512);
            config.push_back(e.attributes == kInterrupt ? 8 : 0);
        }
    }
    config[2] = static_cast<uint8_t>(config.size() & 0xFF);
    config[3] = static_cast<uint8_t>(config.size() >> 8);
    d.insert(d.end(), config.begin(), config.end());
    return d;
}

bool umockdev_preload_active() {
    return umockdev_in_mock_environment();
}

// ---- FakeUsbDevice ----

void FakeUsbDevice::release(Urb& u) {
    umockdev_ioctl_data_unref(u.buffer);
    umockdev_ioctl_data_unref(u.urb);
    u = Urb{};
}

FakeUsbDevice::FakeUsbDevice(FakeDeviceLayout layout)
    : layout_(std::move(layout)),
      handler_(umockdev_ioctl_base_new()),
      driver_bound_(layout_.driver_bound) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&FakeUsbDevice::on_ioctl), this);
}

FakeUsbDevice::~FakeUsbDevice() {
    g_object_unref(handler_);
    for (auto* queue : {&pending_in_, &finished_}) {
        for (Urb& u : *queue) release(u);
    }
}

std::string FakeUsbDevice::devnode() const {
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", bus_of(layout_.sysfs_name),
                  layout_.device_number);
    return node;
}

void FakeUsbDevice::queue_in(const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    in_data_.insert(in_data_.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> FakeUsbDevice::out_bytes() {
    std::lock_guard lock(mutex_);
    return out_data_;
}

void FakeUsbDevice::stall_next_in() {
    std::lock_guard lock(mutex_);
    stall_in_ = true;
}

void FakeUsbDevice::unplug() {
    std::lock_guard lock(mutex_);
    unplugged_ = true;
    while (!pending_in_.empty()) {
        finish(pending_in_.front(), -ESHUTDOWN, nullptr, 0);
        pending_in_.pop_front();
    }
}

void FakeUsbDevice::answer_with(BlockDevice* device, std::function<bool()> has_reply) {
    std::lock_guard lock(mutex_);
    responder_ = device;
    responder_has_reply_ = std::move(has_reply);
}

std::set<int> FakeUsbDevice::claimed_interfaces() {
    std::lock_guard lock(mutex_);
    return claimed_;
}

std::set<int> FakeUsbDevice::driver_bound_interfaces() {
    std::lock_guard lock(mutex_);
    return driver_bound_;
}

int FakeUsbDevice::halts_cleared() {
    std::lock_guard lock(mutex_);
    return halts_cleared_;
}

int FakeUsbDevice::on_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    return static_cast<FakeUsbDevice*>(self)->handle(client) ? TRUE : FALSE;
}

bool FakeUsbDevice::handle(UMockdevIoctlClient* client) {
    std::lock_guard lock(mutex_);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const bool reaping = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
    if (unplugged_ && !reaping) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return true;
    }
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            Resolved caps(arg, 0, sizeof(uint32_t));
            uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_ZERO_PACKET |
                             USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            umockdev_ioctl_data_update(caps.get(), 0, reinterpret_cast<guint8*>(&value),
                                       sizeof value);
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_GETDRIVER:
            get_driver(client, arg);
            return true;
        case USBDEVFS_IOCTL:
            driver_request(client, arg);
            return true;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            Resolved number(arg, 0, sizeof(unsigned));
            unsigned n = 0;
            std::memcpy(&n, number.get()->data, sizeof n);
            if (request == USBDEVFS_CLAIMINTERFACE) {
                if (driver_bound_.count(static_cast<int>(n))) {
                    umockdev_ioctl_client_complete(client, -1, EBUSY);
                    return true;
                }
                claimed_.insert(static_cast<int>(n));
            } else {
                claimed_.erase(static_cast<int>(n));
            }
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_CLEAR_HALT:
            ++halts_cleared_;
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        case USBDEVFS_RESET:
        case USBDEVFS_RESETEP:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_SETCONFIGURATION:
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        case USBDEVFS_SUBMITURB:
            submit(client, arg);
            return true;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            reap(client, arg);
            return true;
        case USBDEVFS_DISCARDURB:
            discard(client, arg);
            return true;
        default:
            return false;  // umockdev answers ENOTTY
    }
}

void FakeUsbDevice::get_driver(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    Resolved query(arg, 0, sizeof(usbdevfs_getdriver));
    usbdevfs_getdriver answer;
    std::memcpy(&answer, query.get()->data, sizeof answer);
    if (!driver_bound_.count(static_cast<int>(answer.interface))) {
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return;
    }
    std::snprintf(answer.driver, sizeof answer.driver, "%s", "fakedrv");
    umockdev_ioctl_data_update(query.get(), 0, reinterpret_cast<guint8*>(&answer), sizeof answer);
    umockdev_ioctl_client_complete(client, 0, 0);
}

// Detaching and re-attaching the kernel driver of an interface.
void FakeUsbDevice::driver_request(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    Resolved request(arg, 0, sizeof(usbdevfs_ioctl));
    usbdevfs_ioctl command;
    std::memcpy(&command, request.get()->data, sizeof command);
    const bool bound = driver_bound_.count(command.ifno) > 0;
    if (command.ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT) && bound) {
        driver_bound_.erase(command.ifno);
        umockdev_ioctl_client_complete(client, 0, 0);
    } else if (command.ioctl_code == static_cast<int>(USBDEVFS_CONNECT) && !bound) {
        driver_bound_.insert(command.ifno);
        umockdev_ioctl_client_complete(client, 0, 0);
    } else {
        umockdev_ioctl_client_complete(client, -1, ENODATA);
    }
}

void FakeUsbDevice::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    Resolved urb_data(arg, 0, sizeof(usbdevfs_urb));
    usbdevfs_urb urb;
    std::memcpy(&urb, urb_data.get()->data, sizeof urb);
    Resolved buffer(urb_data.get(), offsetof(usbdevfs_urb, buffer),
                    static_cast<size_t>(std::max(urb.buffer_length, 0)));
    if (!buffer.get() || (urb.type == USBDEVFS_URB_TYPE_CONTROL && urb.buffer_length < 8)) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    umockdev_ioctl_client_complete(client, 0, 0);
    const Urb u{urb_data.release(), buffer.release()};

    if (urb.type == USBDEVFS_URB_TYPE_CONTROL) {
        answer_control(u);
    } else if (urb.endpoint & 0x80) {
        pending_in_.push_back(u);
    } else {
        out_data_.insert(out_data_.end(), u.buffer->data, u.buffer->data + u.buffer->data_len);
        const int error = responder_ ? responder_->write_block(
                                           u.buffer->data, static_cast<size_t>(urb.buffer_length))
                                     : 0;
        if (error == ENODEV) unplugged_ = true;
        finish(u, error == ENODEV ? -ESHUTDOWN : -error, nullptr,
               error == 0 ? static_cast<size_t>(urb.buffer_length) : 0);
    }
}

void FakeUsbDevice::answer_control(Urb u) {
    const uint8_t* setup = u.buffer->data;
    const unsigned value = setup[2] | (setup[3] << 8);
    const size_t wanted = setup[6] | (setup[7] << 8);
    // Only GET_DESCRIPTOR for strings is answered; any other request stalls endpoint 0.
    if (setup[0] != 0x80 || setup[1] != 6 || (value >> 8) != 3) {
        finish(u, -EPIPE, nullptr, 0);
        return;
    }
    const std::vector<uint8_t> text = string_descriptor(static_cast<uint8_t>(value & 0xFF));
    if (text.empty()) {
        finish(u, -EPIPE, nullptr, 0);
        return;
    }
    const size_t n = std::min(text.size(), wanted);
    umockdev_ioctl_data_update(u.buffer, kSetupBytes, const_cast<guint8*>(text.data()),
                               static_cast<int>(n));
    finish(u, 0, nullptr, n);
}

std::vector<uint8_t> FakeUsbDevice::string_descriptor(uint8_t index) const {
    if (index == 0) return {4, 3, 0x09, 0x04};  // language ids: English (US)
    const std::string* text = index == kManufacturerIndex ? &layout_.manufacturer
                              : index == kProductIndex    ? &layout_.product
                                                          : nullptr;
    if (!text || text->empty()) return {};
    std::vector<uint8_t> d = {static_cast<uint8_t>(2 + 2 * text->size()), 3};
    for (char c : *text) put16(d, static_cast<uint8_t>(c));
    return d;
}

// Completes `u`: `length` bytes moved (copied from `data` into the buffer when given).
void FakeUsbDevice::finish(Urb u, int status, const uint8_t* data, size_t length) {
    if (data && length > 0) {
        umockdev_ioctl_data_update(u.buffer, 0, const_cast<guint8*>(data),
                                   static_cast<int>(length));
    }
    usbdevfs_urb urb;
    std::memcpy(&urb, u.urb->data, sizeof urb);
    urb.status = status;
    urb.actual_length = static_cast<int>(length);
    umockdev_ioctl_data_update(u.urb, 0, reinterpret_cast<guint8*>(&urb), sizeof urb);
    finished_.push_back(u);
}

void FakeUsbDevice::serve_pending_in() {
    while (!pending_in_.empty()) {
        Urb u = pending_in_.front();
        const auto* urb = reinterpret_cast<const usbdevfs_urb*>(u.urb->data);
        if (responder_) {
            if (!serve_from_responder(u)) return;
        } else if (stall_in_) {
            stall_in_ = false;
            finish(u, -EPIPE, nullptr, 0);
        } else if (in_sent_ < in_data_.size()) {
            const size_t n =
                std::min(in_data_.size() - in_sent_, static_cast<size_t>(urb->buffer_length));
            finish(u, 0, in_data_.data() + in_sent_, n);
            in_sent_ += n;
        } else {
            return;
        }
        pending_in_.pop_front();
    }
}

// One IN request answered by the responder; false when it has nothing to send yet. Bytes that
// came before an error still arrive: a short block ends the request short, and the data that
// never follows lets the host's timeout end the transfer.
bool FakeUsbDevice::serve_from_responder(Urb u) {
    if (!responder_has_reply_()) return false;
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(u.urb->data);
    responder_buffer_.resize(static_cast<size_t>(std::max(urb->buffer_length, 0)));
    size_t received = 0;
    const int error =
        responder_->read_block(responder_buffer_.data(), responder_buffer_.size(), received);
    int status = 0;
    if (error == EPIPE) status = -EPIPE;
    if (error == ENODEV) {
        unplugged_ = true;
        status = -ESHUTDOWN;
    }
    if ((error == ETIMEDOUT || error == EIO) && received == 0) return false;
    finish(u, status, responder_buffer_.data(), received);
    return true;
}

void FakeUsbDevice::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    serve_pending_in();
    if (finished_.empty()) {
        umockdev_ioctl_client_complete(client, -1, unplugged_ ? ENODEV : EAGAIN);
        return;
    }
    Urb u = finished_.front();
    finished_.pop_front();
    Resolved where(arg, 0, sizeof(void*));
    umockdev_ioctl_data_set_ptr(where.get(), 0, u.urb);
    umockdev_ioctl_client_complete(client, 0, 0);
    release(u);
}

void FakeUsbDevice::discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const auto address = *reinterpret_cast<const gulong*>(arg->data);
    const auto it = std::find_if(pending_in_.begin(), pending_in_.end(),
                                 [&](const Urb& u) { return u.urb->client_addr == address; });
    if (it == pending_in_.end()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    finish(*it, -ENOENT, nullptr, 0);
    pending_in_.erase(it);
    umockdev_ioctl_client_complete(client, 0, 0);
}

// ---- FakeUsbBus ----

FakeUsbBus::FakeUsbBus() : testbed_(umockdev_testbed_new()) {}

FakeUsbBus::~FakeUsbBus() {
    g_object_unref(testbed_);
    devices_.clear();
}

void FakeUsbBus::add_hub(const std::string& sysfs_name, uint8_t device_number) {
    FakeDeviceLayout hub;
    hub.sysfs_name = sysfs_name;
    hub.device_number = device_number;
    hub.vid = 0x1d6b;
    hub.pid = 0x0002;
    hub.device_class = 9;
    hub.interfaces = {{9, {{0x81, kInterrupt}}}};
    add_to_testbed(hub);
}

FakeUsbDevice& FakeUsbBus::add(const FakeDeviceLayout& layout) {
    devices_.push_back(std::make_unique<FakeUsbDevice>(layout));
    FakeUsbDevice& device = *devices_.back();
    // The handler goes first, so the node answers as soon as it appears.
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_, device.devnode().c_str(), device.handler(),
                                       &error)) {
        const std::string text = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot attach the fake device: " + text);
    }
    add_to_testbed(layout);
    return device;
}

void FakeUsbBus::add_to_testbed(const FakeDeviceLayout& layout) {
    const unsigned bus = bus_of(layout.sysfs_name);
    char node[32];
    std::snprintf(node, sizeof node, "bus/usb/%03u/%03u", bus, layout.device_number);
    char ids[64];
    std::snprintf(ids, sizeof ids, "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n", layout.vid,
                  layout.pid);
    const std::string text =
        "P: " + sysfs_path(layout.sysfs_name) + "\nN: " + node + "\nE: DEVNAME=/dev/" + node +
        "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: DRIVER=usb\n" +
        "E: BUSNUM=" + std::to_string(bus) + "\nE: DEVNUM=" + std::to_string(layout.device_number) +
        "\nA: busnum=" + std::to_string(bus) +
        "\\n\nA: devnum=" + std::to_string(layout.device_number) +
        "\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\n" + ids +
        "H: descriptors=" + hex(descriptors_of(layout)) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, text.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot add the fake device: " + message);
    }
}

void FakeUsbBus::remove(FakeUsbDevice& device) {
    device.unplug();
    umockdev_testbed_remove_device(testbed_,
                                   ("/sys" + sysfs_path(device.layout().sysfs_name)).c_str());
}

}  // namespace kvr::test
