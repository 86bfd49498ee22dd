#include "libusb/UsbfsBed.h"

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kelvo::test {

namespace {

void put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        text += two;
    }
    return text;
}

usbdevfs_urb* urbOf(UMockdevIoctlData* data) {
    return reinterpret_cast<usbdevfs_urb*>(data->data);
}

constexpr std::uint32_t kCapabilities = USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_BULK_CONTINUATION |
                                        USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT |
                                        USBDEVFS_CAP_ZERO_PACKET;

} // namespace

std::vector<std::uint8_t> DeviceDescription::descriptors() const {
    std::vector<std::uint8_t> d{0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40};
    put16(d, vendor);
    put16(d, product);
    d.insert(d.end(), {0x00, 0x01, 0x00, 0x00, 0x00, 0x01});
    std::size_t total = 9;
    for (const auto& alt : alternates)
        total += 9 + 7 * alt.size();
    d.insert(d.end(), {0x09, 0x02});
    put16(d, static_cast<unsigned>(total));
    d.insert(d.end(), {0x01, 0x01, 0x00, 0x80, 0x32});
    for (std::size_t a = 0; a < alternates.size(); ++a) {
        d.insert(d.end(), {0x09, 0x04, 0x00, static_cast<std::uint8_t>(a),
                           static_cast<std::uint8_t>(alternates[a].size()), 0xFF, 0x00, 0x00, 0x00});
        for (std::uint8_t ep : alternates[a])
            d.insert(d.end(), {0x07, 0x05, ep, 0x02, 0x00, 0x02, 0x00});
    }
    return d;
}

// ---------------------------------------------------------------------------------------------

EmulatedDevice::EmulatedDevice(UsbfsBed& bed, unsigned bus, unsigned devnum, FarEnd* end) : bed_(bed), end_(end) {
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", bus, devnum);
    node_ = node;
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect_after(handler_, "handle-ioctl", G_CALLBACK(&EmulatedDevice::onIoctl), this);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(bed_.testbed(), node_.c_str(), handler_, &error)) {
        const std::string text = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        g_object_unref(handler_);
        throw std::runtime_error("umockdev_testbed_attach_ioctl " + node_ + ": " + text);
    }
    pump_ = std::thread([this] { pump(); });
}

EmulatedDevice::~EmulatedDevice() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    pump_.join();
    umockdev_testbed_detach_ioctl(bed_.testbed(), node_.c_str(), nullptr);
    for (auto* list : {&waitingIn_, &finished_})
        for (Urb& urb : *list)
            release(urb);
    g_object_unref(handler_);
}

void EmulatedDevice::release(Urb& urb) {
    if (urb.buffer) g_object_unref(urb.buffer);
    if (urb.data) g_object_unref(urb.data);
    urb.buffer = urb.data = nullptr;
}

void EmulatedDevice::refuseClaims(int error) {
    std::lock_guard lock(mutex_);
    claimErrno_ = error;
}

int EmulatedDevice::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    return static_cast<EmulatedDevice*>(self)->handle(client) ? TRUE : FALSE;
}

bool EmulatedDevice::handle(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    auto done = [&](long result, int error) {
        umockdev_ioctl_client_complete(client, result, error);
        return true;
    };
    auto resolved = [&](std::size_t length) { return umockdev_ioctl_data_resolve(arg, 0, length, nullptr); };
    auto readUnsigned = [&]() {
        UMockdevIoctlData* d = resolved(sizeof(unsigned));
        const unsigned value = d ? *reinterpret_cast<unsigned*>(d->data) : ~0u;
        if (d) g_object_unref(d);
        return value;
    };

    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* d = resolved(sizeof(std::uint32_t));
        if (!d) return done(-1, EFAULT);
        *reinterpret_cast<std::uint32_t*>(d->data) = kCapabilities;
        g_object_unref(d);
        return done(0, 0);
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM: {
        // Both begin with the interface number.
        const unsigned iface = readUnsigned();
        std::lock_guard lock(mutex_);
        claims_.push_back(iface);
        return claimErrno_ ? done(-1, claimErrno_) : done(0, 0);
    }
    case USBDEVFS_RELEASEINTERFACE: {
        const unsigned iface = readUnsigned();
        std::lock_guard lock(mutex_);
        releases_.push_back(iface);
        return done(0, 0);
    }
    case USBDEVFS_SETINTERFACE: {
        UMockdevIoctlData* d = resolved(sizeof(usbdevfs_setinterface));
        if (!d) return done(-1, EFAULT);
        const auto* s = reinterpret_cast<usbdevfs_setinterface*>(d->data);
        {
            std::lock_guard lock(mutex_);
            setInterfaces_.emplace_back(s->interface, s->altsetting);
        }
        g_object_unref(d);
        return done(0, 0);
    }
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET:
    case USBDEVFS_RESETEP:
    case USBDEVFS_SETCONFIGURATION: return done(0, 0);
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL: return done(-1, ENODATA); // no kernel driver to look up or to re-attach

    case USBDEVFS_SUBMITURB: {
        Urb urb;
        urb.data = resolved(sizeof(usbdevfs_urb));
        if (!urb.data) return done(-1, EFAULT);
        usbdevfs_urb* u = urbOf(urb.data);
        urb.length = static_cast<std::size_t>(std::max(u->buffer_length, 0));
        urb.in = (u->endpoint & 0x80) != 0;
        urb.buffer = umockdev_ioctl_data_resolve(urb.data, offsetof(usbdevfs_urb, buffer), urb.length, nullptr);
        if (!urb.buffer || u->type != USBDEVFS_URB_TYPE_BULK) {
            release(urb);
            return done(-1, EINVAL);
        }
        u->actual_length = 0;
        u->status = 0;
        std::lock_guard lock(mutex_);
        if (!end_->linkUp()) { // usbfs refuses urbs for a device that is gone
            release(urb);
            return done(-1, ENODEV);
        }
        submitted_.push_back({u->endpoint, urb.length});
        if (!urb.in) {
            std::span<const std::uint8_t> block(urb.buffer->data, urb.length);
            blocksOut_.emplace_back(block.begin(), block.end());
            const bool arrived = end_->receiveBlock(block);
            u->actual_length = arrived ? u->buffer_length : 0;
            u->status = arrived ? 0 : -ESHUTDOWN;
            finished_.push_back(urb);
        } else {
            waitingIn_.push_back(urb);
            maxWaitingIn_ = std::max(maxWaitingIn_, waitingIn_.size());
            progress();
            wake_.notify_all();
        }
        return done(0, 0);
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        std::unique_lock lock(mutex_);
        progress();
        if (finished_.empty()) return done(-1, EAGAIN);
        Urb urb = finished_.front();
        finished_.pop_front();
        if (urbOf(urb.data)->status == -ENOENT) ++discardedReaped_;
        lock.unlock();
        UMockdevIoctlData* ptr = resolved(sizeof(void*));
        if (!ptr) {
            release(urb);
            return done(-1, EFAULT);
        }
        umockdev_ioctl_data_set_ptr(ptr, 0, urb.data);
        g_object_unref(ptr);
        release(urb);
        return done(0, 0);
    }
    case USBDEVFS_DISCARDURB: {
        std::lock_guard lock(mutex_);
        // The argument is the urb's address itself: umockdev hands it over as the argument's bytes.
        unsigned long address = arg->client_addr;
        if (arg->data && arg->data_len >= static_cast<int>(sizeof address))
            std::memcpy(&address, arg->data, sizeof address);
        auto it = std::find_if(waitingIn_.begin(), waitingIn_.end(),
                               [&](const Urb& u) { return u.data->client_addr == address; });
        if (it == waitingIn_.end()) return done(-1, EINVAL); // finished already, or unknown
        usbdevfs_urb* u = urbOf(it->data);
        // The front urb keeps whatever packets had arrived when it was unlinked.
        if (it == waitingIn_.begin())
            u->actual_length =
                static_cast<int>(end_->deliver(std::span<std::uint8_t>(it->buffer->data, it->length)).bytes);
        u->status = -ENOENT;
        finished_.push_back(*it);
        waitingIn_.erase(it);
        ++discards_;
        return done(0, 0);
    }
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "0x%lx", request);
        std::lock_guard lock(mutex_);
        unhandled_.push_back(text);
        return false;
    }
    }
}

void EmulatedDevice::progress() {
    if (!waitingIn_.empty() && !end_->linkUp()) { // the device went: usbfs ends its urbs
        for (Urb& urb : waitingIn_)
            urbOf(urb.data)->status = -ESHUTDOWN;
        finished_.insert(finished_.end(), waitingIn_.begin(), waitingIn_.end());
        waitingIn_.clear();
        return;
    }
    while (!waitingIn_.empty()) {
        Urb& urb = waitingIn_.front();
        const auto ready = end_->readyAt(urb.length);
        if (!ready || *ready > end_->now()) return;
        const auto delivery = end_->deliver(std::span<std::uint8_t>(urb.buffer->data, urb.length));
        if (delivery.bytes == 0 && !delivery.replyEnded) return;
        usbdevfs_urb* u = urbOf(urb.data);
        u->actual_length = static_cast<int>(delivery.bytes);
        u->status = 0;
        finished_.push_back(urb);
        waitingIn_.pop_front();
    }
}

void EmulatedDevice::pump() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        progress();
        Millis wait{2};
        if (!waitingIn_.empty()) {
            if (const auto ready = end_->readyAt(waitingIn_.front().length))
                wait = std::clamp(*ready - end_->now(), Millis{0}, Millis{2});
        }
        if (wait.count() > 0)
            wake_.wait_for(lock, wait);
        else
            wake_.wait_for(lock, std::chrono::microseconds(200));
    }
}

std::vector<UrbSeen> EmulatedDevice::submitted() const {
    std::lock_guard lock(mutex_);
    return submitted_;
}
std::vector<std::vector<std::uint8_t>> EmulatedDevice::blocksOut() const {
    std::lock_guard lock(mutex_);
    return blocksOut_;
}
std::vector<unsigned> EmulatedDevice::claims() const {
    std::lock_guard lock(mutex_);
    return claims_;
}
std::vector<unsigned> EmulatedDevice::releases() const {
    std::lock_guard lock(mutex_);
    return releases_;
}
std::vector<std::pair<unsigned, unsigned>> EmulatedDevice::setInterfaces() const {
    std::lock_guard lock(mutex_);
    return setInterfaces_;
}
std::size_t EmulatedDevice::inUrbsPending() const {
    std::lock_guard lock(mutex_);
    std::size_t n = waitingIn_.size();
    for (const Urb& urb : finished_)
        n += urb.in ? 1 : 0;
    return n;
}
std::size_t EmulatedDevice::maxInUrbsWaiting() const {
    std::lock_guard lock(mutex_);
    return maxWaitingIn_;
}
std::size_t EmulatedDevice::discards() const {
    std::lock_guard lock(mutex_);
    return discards_;
}
std::size_t EmulatedDevice::discardedReaped() const {
    std::lock_guard lock(mutex_);
    return discardedReaped_;
}
std::vector<std::string> EmulatedDevice::unhandled() const {
    std::lock_guard lock(mutex_);
    return unhandled_;
}
void EmulatedDevice::clearSeen() {
    std::lock_guard lock(mutex_);
    submitted_.clear();
    blocksOut_.clear();
    discards_ = discardedReaped_ = 0;
    maxWaitingIn_ = waitingIn_.size();
}

// ---------------------------------------------------------------------------------------------

UsbfsBed::UsbfsBed() : testbed_(umockdev_testbed_new()) {
    if (!umockdev_in_mock_environment())
        throw std::runtime_error("not under umockdev's preload: run the test through umockdev-wrapper");
}

UsbfsBed::~UsbfsBed() {
    devices_.clear();
    g_object_unref(testbed_);
}

void UsbfsBed::add(const std::string& sysPath, unsigned bus, unsigned devnum,
                   const std::vector<std::uint8_t>& descriptors) {
    char numbers[256];
    std::snprintf(numbers, sizeof numbers,
                  "N: bus/usb/%03u/%03u\n"
                  "E: SUBSYSTEM=usb\n"
                  "E: DEVTYPE=usb_device\n"
                  "E: DRIVER=usb\n"
                  "E: BUSNUM=%03u\n"
                  "E: DEVNUM=%03u\n"
                  "E: DEVNAME=/dev/bus/usb/%03u/%03u\n"
                  "A: busnum=%u\\n\n"
                  "A: devnum=%u\\n\n",
                  bus, devnum, bus, devnum, bus, devnum, bus, devnum);
    const std::string text = "P: " + sysPath + "\n" + numbers +
                             "A: bConfigurationValue=1\\n\n"
                             "A: speed=480\\n\n"
                             "H: descriptors=" +
                             hex(descriptors) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, text.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        throw std::runtime_error("umockdev_testbed_add_from_string: " + message);
    }
}

void UsbfsBed::addRootHub(unsigned bus) {
    DeviceDescription hub{0x1d6b, 0x0002, {{0x81}}};
    add("/devices/usb" + std::to_string(bus), bus, 1, hub.descriptors());
}

EmulatedDevice* UsbfsBed::addDevice(unsigned bus, unsigned port, unsigned devnum, const DeviceDescription& description,
                                    FarEnd* end) {
    EmulatedDevice* device = nullptr;
    if (end) {
        devices_.push_back(std::make_unique<EmulatedDevice>(*this, bus, devnum, end));
        device = devices_.back().get();
    }
    add("/devices/usb" + std::to_string(bus) + "/" + std::to_string(bus) + "-" + std::to_string(port), bus, devnum,
        description.descriptors());
    return device;
}

} // namespace kelvo::test
