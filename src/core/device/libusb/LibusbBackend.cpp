#include "device/libusb/LibusbBackend.h"

#include "device/UsbLibrary.h"

#include <libusb.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace kelvo {

namespace {

using SteadyClock = std::chrono::steady_clock;

// A cancelled transfer comes back at once on a working system; one that has not come back after
// this long never will, and the port gives up on it rather than hang.
constexpr std::chrono::seconds kRetireLimit{10};

static_assert(kLibusbChunkBytes % kBlockSize == 0, "every chunk is whole packets of 512 bytes");
// usbfs refuses submissions beyond usbfs_memory_mb (16 MiB by default) in total.
static_assert(kLibusbChunkBytes * kLibusbChunksInFlight <= 16u * 1024 * 1024, "within the usbfs memory limit");

std::string hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value));
    return text;
}

std::string usbIdText(UsbId id) {
    return hex4(id.vendor) + ":" + hex4(id.product);
}

std::string errorText(int error) {
    return std::string(libusb_error_name(error)) + ": " + libusb_strerror(error);
}

// Where the two bulk endpoints live: configuration, interface and alternate setting.
struct EndpointPlace {
    int configuration = 0;
    int interfaceNumber = 0;
    int alternate = 0;
};

bool isBulk(const libusb_endpoint_descriptor& ep, std::uint8_t address) {
    return ep.bEndpointAddress == address && (ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK;
}

std::optional<EndpointPlace> findEndpoints(const libusb_config_descriptor& config) {
    for (int i = 0; i < config.bNumInterfaces; ++i) {
        const libusb_interface& iface = config.interface[i];
        for (int a = 0; a < iface.num_altsetting; ++a) {
            const libusb_interface_descriptor& alt = iface.altsetting[a];
            bool out = false, in = false;
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                out = out || isBulk(alt.endpoint[e], kEndpointOut);
                in = in || isBulk(alt.endpoint[e], kEndpointIn);
            }
            if (out && in)
                return EndpointPlace{config.bConfigurationValue, alt.bInterfaceNumber, alt.bAlternateSetting};
        }
    }
    return std::nullopt;
}

// The configuration to use: the active one when it carries the endpoints, else the first that does.
std::optional<EndpointPlace> findEndpoints(libusb_device* device, int& activeConfiguration) {
    activeConfiguration = -1;
    std::optional<EndpointPlace> place;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) == LIBUSB_SUCCESS) {
        activeConfiguration = config->bConfigurationValue;
        place = findEndpoints(*config);
        libusb_free_config_descriptor(config);
    }
    if (place) return place;
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) return std::nullopt;
    for (std::uint8_t i = 0; i < descriptor.bNumConfigurations && !place; ++i) {
        if (libusb_get_config_descriptor(device, i, &config) != LIBUSB_SUCCESS) continue;
        place = findEndpoints(*config);
        libusb_free_config_descriptor(config);
    }
    return place;
}

class DeviceList {
public:
    explicit DeviceList(libusb_context* ctx) { count_ = libusb_get_device_list(ctx, &list_); }
    ~DeviceList() {
        if (count_ >= 0) libusb_free_device_list(list_, 1);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    bool ok() const { return count_ >= 0; }
    int error() const { return static_cast<int>(count_); }
    std::span<libusb_device*> devices() const {
        return count_ > 0 ? std::span<libusb_device*>(list_, static_cast<std::size_t>(count_))
                          : std::span<libusb_device*>();
    }

private:
    libusb_device** list_ = nullptr;
    ssize_t count_ = -1;
};

} // namespace

std::string libusbDevicePath(unsigned bus, unsigned address) {
    char text[32];
    std::snprintf(text, sizeof text, "usb:%03u:%03u", bus, address);
    return text;
}

std::optional<std::pair<unsigned, unsigned>> parseLibusbDevicePath(const std::string& path) {
    if (path.size() != 11 || path.compare(0, 4, "usb:") != 0 || path[7] != ':') return std::nullopt;
    auto number = [&](std::size_t at) -> std::optional<unsigned> {
        unsigned value = 0;
        for (std::size_t i = at; i < at + 3; ++i) {
            if (path[i] < '0' || path[i] > '9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(path[i] - '0');
        }
        return value;
    };
    const auto bus = number(4);
    const auto address = number(8);
    if (!bus || !address) return std::nullopt;
    return std::make_pair(*bus, *address);
}

std::string libusbOpenHint(int error, LibusbOpenStep step, const std::string& path, UsbId id) {
    const std::string who = "the scanner (USB " + usbIdText(id) + ") at " + path;
    switch (error) {
    case LIBUSB_ERROR_ACCESS:
        return who +
               " is present, but this user may not open it. Give the logged-in user access with "
               "a udev rule: write the line\n"
               "  SUBSYSTEM==\"usb\", ATTR{idVendor}==\"" +
               hex4(id.vendor) + "\", ATTR{idProduct}==\"" + hex4(id.product) +
               "\", TAG+=\"uaccess\"\n"
               "into the file /etc/udev/rules.d/70-kelvo.rules, run "
               "'sudo udevadm control --reload-rules', then unplug the scanner and plug it "
               "in again. Or run this program as root.";
    case LIBUSB_ERROR_BUSY:
        if (step == LibusbOpenStep::Claim || step == LibusbOpenStep::SetAlternate)
            return who + " is in use: another program has claimed its USB interface. Close that program "
                         "(another copy of Kelvo Transfer, or a USB tool) and try again.";
        return who + " is busy: " + errorText(error) + ". Close any other program that uses it and try again.";
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
        return who + " is gone: it was unplugged or switched off while it was being opened. Plug it in, "
                     "switch it on and try again.";
    default: break;
    }
    const char* what = "open";
    switch (step) {
    case LibusbOpenStep::Open: what = "open"; break;
    case LibusbOpenStep::Configure: what = "select the configuration of"; break;
    case LibusbOpenStep::Claim: what = "claim the interface of"; break;
    case LibusbOpenStep::SetAlternate: what = "select the alternate setting of"; break;
    }
    return std::string("libusb could not ") + what + " " + who + " (" + errorText(error) +
           "). Unplug the scanner, plug it in again and retry.";
}

// ---------------------------------------------------------------------------------------------
// The context

LibusbContext::~LibusbContext() {
    if (ctx_) libusb_exit(ctx_);
}

int LibusbContext::init() {
    if (ctx_) return LIBUSB_SUCCESS;
    libusb_context* ctx = nullptr;
    const int rc = libusb_init(&ctx);
    if (rc != LIBUSB_SUCCESS) return rc;
    ctx_ = ctx;
    return LIBUSB_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// The port

LibusbPort::LibusbPort(std::shared_ptr<LibusbContext> context, libusb_device_handle* handle, int interfaceNumber)
    : context_(std::move(context)), handle_(handle), interface_(interfaceNumber) {
    for (Chunk& chunk : chunks_) {
        chunk.port = this;
        chunk.transfer = libusb_alloc_transfer(0);
    }
}

LibusbPort::~LibusbPort() {
    cancelRead();
    if (!abandoned_) {
        // A transfer libusb never gave back may still be referenced by it: those are left alone.
        for (Chunk& chunk : chunks_)
            libusb_free_transfer(chunk.transfer);
    }
    libusb_release_interface(handle_, interface_);
    libusb_close(handle_);
}

bool LibusbPort::writeBlock(std::span<const std::uint8_t, kBlockSize> block) {
    if (abandoned_) return false;
    TBuffer_512B copy;
    std::copy(block.begin(), block.end(), copy.begin());
    int sent = 0;
    const int rc = libusb_bulk_transfer(handle_, kEndpointOut, copy.data(), static_cast<int>(copy.size()), &sent,
                                        static_cast<unsigned>(kWriteWait.count()));
    return rc == LIBUSB_SUCCESS && sent == static_cast<int>(copy.size());
}

bool LibusbPort::armRead(std::span<std::uint8_t> buffer) {
    if (abandoned_ || state_ != State::Idle) return false;
    for (Chunk& chunk : chunks_)
        if (!chunk.transfer) return false; // out of memory when the port was made
    buffer_ = buffer;
    nextOffset_ = 0;
    delivered_ = 0;
    contiguous_ = true;
    outcome_ = ReadStatus::Completed;
    if (buffer.empty()) {
        state_ = State::Ending; // nothing to read: complete at once
        return true;
    }
    state_ = State::Streaming;
    submitMore();
    if (state_ == State::Streaming && !queued_.empty()) return true;
    // Not armed: nothing could be submitted, or the device went while submitting.
    if (state_ == State::Streaming) endRead(ReadStatus::Failed);
    retire();
    state_ = State::Idle;
    return false;
}

ReadResult LibusbPort::waitReadUnless(std::optional<Millis> limit, const std::function<bool()>& stop) {
    if (state_ == State::Idle) return {ReadStatus::Failed, 0};
    const auto deadline = limit ? SteadyClock::now() + *limit : SteadyClock::time_point::max();
    const SteadyClock::duration slice = stop ? SteadyClock::duration(kStopPollInterval) : std::chrono::seconds(1);
    while (state_ == State::Streaming) {
        const auto now = SteadyClock::now();
        if (now >= deadline || (stop && stop())) {
            endRead(ReadStatus::TimedOut);
            break;
        }
        auto wait = std::chrono::duration_cast<std::chrono::microseconds>(
            std::min<SteadyClock::duration>(deadline - now, slice));
        if (wait.count() <= 0) wait = std::chrono::microseconds(1);
        if (!handleEvents(wait)) {
            if (state_ == State::Streaming) endRead(ReadStatus::Failed);
        }
    }
    retire();
    state_ = State::Idle;
    return {outcome_, delivered_};
}

void LibusbPort::cancelRead() {
    if (state_ == State::Idle) return;
    if (state_ == State::Streaming) endRead(ReadStatus::Failed);
    retire();
    state_ = State::Idle;
}

bool LibusbPort::setTransferSize(const SET_TRANSFER_SIZE_INFO&) {
    return true; // libusb has no such setting; the trace shows the request
}

void LibusbPort::onTransfer(libusb_transfer* transfer) {
    auto* chunk = static_cast<Chunk*>(transfer->user_data);
    chunk->port->completed(*chunk);
}

void LibusbPort::completed(Chunk& chunk) {
    chunk.done = true;
    chunk.status = chunk.transfer->status;
    chunk.actual = static_cast<std::size_t>(std::max(chunk.transfer->actual_length, 0));
    account();
}

// Takes the finished chunks at the front of the queue, in order: usbfs completes the transfers of
// one endpoint in the order they were submitted, so the front is the one that ends first.
void LibusbPort::account() {
    while (!queued_.empty() && queued_.front()->done) {
        Chunk& chunk = *queued_.front();
        queued_.pop_front();
        chunk.done = false;
        if (contiguous_) {
            delivered_ += std::min(chunk.actual, chunk.length);
            if (chunk.actual < chunk.length) contiguous_ = false;
        }
        if (state_ != State::Streaming) continue; // retiring: only the bytes count
        if (chunk.status == LIBUSB_TRANSFER_COMPLETED) {
            if (chunk.actual < chunk.length) endRead(ReadStatus::Completed); // a short packet ends the read
        } else {
            contiguous_ = false;
            endRead(ReadStatus::Failed); // error, stall, overflow, device gone, or cancelled by someone else
        }
    }
    if (state_ != State::Streaming) return;
    if (queued_.empty() && nextOffset_ >= buffer_.size()) {
        endRead(ReadStatus::Completed);
        return;
    }
    submitMore();
}

// Queues chunks until kLibusbChunksInFlight are in flight or the whole buffer is covered. A
// submission that fails while others are in flight (usbfs out of memory) is tried again when one
// of them completes; with none in flight, or with the device gone, the read fails.
bool LibusbPort::submitMore() {
    for (Chunk& chunk : chunks_) {
        if (nextOffset_ >= buffer_.size()) break;
        if (std::find(queued_.begin(), queued_.end(), &chunk) != queued_.end()) continue;
        const std::size_t length = std::min(kLibusbChunkBytes, buffer_.size() - nextOffset_);
        libusb_fill_bulk_transfer(chunk.transfer, handle_, kEndpointIn, buffer_.data() + nextOffset_,
                                  static_cast<int>(length), &LibusbPort::onTransfer, &chunk, 0);
        chunk.length = length;
        chunk.done = false;
        const int rc = libusb_submit_transfer(chunk.transfer);
        if (rc != LIBUSB_SUCCESS) {
            if (rc == LIBUSB_ERROR_NO_DEVICE || queued_.empty()) endRead(ReadStatus::Failed);
            return false;
        }
        queued_.push_back(&chunk);
        nextOffset_ += length;
    }
    return true;
}

// The read has its outcome: cancel what is still in flight. The cancellations are reaped by retire().
void LibusbPort::endRead(ReadStatus outcome) {
    state_ = State::Ending;
    outcome_ = outcome;
    for (Chunk* chunk : queued_)
        if (!chunk->done) libusb_cancel_transfer(chunk->transfer); // NOT_FOUND: already on its way back
}

// Handles events until libusb has given back every transfer of the read, so that it will not
// touch the buffer again and no late completion can be taken for a later read.
void LibusbPort::retire() {
    const auto giveUp = SteadyClock::now() + kRetireLimit;
    while (!queued_.empty()) {
        if (SteadyClock::now() >= giveUp) {
            std::cerr << "kelvo: libusb did not give back " << queued_.size()
                      << " cancelled transfer(s) of endpoint 0x86; the scanner's port is closed for further use\n";
            abandoned_ = true;
            queued_.clear();
            return;
        }
        handleEvents(std::chrono::milliseconds(100));
    }
}

bool LibusbPort::handleEvents(std::chrono::microseconds wait) {
    timeval tv{};
    tv.tv_sec = static_cast<decltype(tv.tv_sec)>(wait.count() / 1000000);
    tv.tv_usec = static_cast<decltype(tv.tv_usec)>(wait.count() % 1000000);
    const int rc = libusb_handle_events_timeout_completed(context_->get(), &tv, nullptr);
    return rc == LIBUSB_SUCCESS || rc == LIBUSB_ERROR_INTERRUPTED || rc == LIBUSB_ERROR_TIMEOUT;
}

// ---------------------------------------------------------------------------------------------
// The backend

LibusbBackend::LibusbBackend(Clock& clock, UsbId id)
    : clock_(clock), id_(id), context_(std::make_shared<LibusbContext>()) {}

bool LibusbBackend::initLib() {
    return context_->init() == LIBUSB_SUCCESS;
}

bool LibusbBackend::findDevice(std::string& p_path, int p_typ) {
    if (p_typ != kScannerInterfaceClass) return false;
    if (!initLib()) return false;
    DeviceList list(context_->get());
    for (libusb_device* device : list.devices()) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) continue;
        if (descriptor.idVendor != id_.vendor || descriptor.idProduct != id_.product) continue;
        p_path = libusbDevicePath(libusb_get_bus_number(device), libusb_get_device_address(device));
        return true;
    }
    return false;
}

std::unique_ptr<UsbPort> LibusbBackend::openDevice(const std::string& p_path) {
    const auto where = parseLibusbDevicePath(p_path);
    if (!where)
        throw UsbOpenError("\"" + p_path +
                           "\" does not name a USB device (a libusb path reads usb:BUS:ADDRESS, "
                           "as the search for the scanner gives it).");
    if (const int rc = context_->init(); rc != LIBUSB_SUCCESS)
        throw UsbOpenError("libusb could not be started (" + errorText(rc) + ").");

    DeviceList list(context_->get());
    if (!list.ok()) throw UsbOpenError("libusb could not list the USB devices (" + errorText(list.error()) + ").");
    libusb_device* device = nullptr;
    for (libusb_device* d : list.devices()) {
        if (libusb_get_bus_number(d) == where->first && libusb_get_device_address(d) == where->second) {
            device = d;
            break;
        }
    }
    if (!device)
        throw UsbOpenError("no USB device is at " + p_path + " any more: the scanner (USB " + usbIdText(id_) +
                           ") was unplugged or switched off. Plug it in, switch it on and try again.");
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) == LIBUSB_SUCCESS &&
        (descriptor.idVendor != id_.vendor || descriptor.idProduct != id_.product))
        throw UsbOpenError("the USB device at " + p_path + " is " + hex4(descriptor.idVendor) + ":" +
                           hex4(descriptor.idProduct) + ", not the scanner (USB " + usbIdText(id_) +
                           "). Look for the scanner again.");

    int activeConfiguration = -1;
    const auto place = findEndpoints(device, activeConfiguration);
    if (!place)
        throw UsbOpenError("the USB device " + usbIdText(id_) + " at " + p_path +
                           " has no interface with the scanner's bulk endpoints 0x02 (OUT) and 0x86 (IN): it is "
                           "not a Kelvo scanner, or its firmware is not running. Check the USB id (--usb-id or "
                           "KELVO_USB_ID) and switch the scanner off and on again.");

    libusb_device_handle* handle = nullptr;
    if (const int rc = libusb_open(device, &handle); rc != LIBUSB_SUCCESS)
        throw UsbOpenError(libusbOpenHint(rc, LibusbOpenStep::Open, p_path, id_));
    auto fail = [&](int rc, LibusbOpenStep step) {
        libusb_close(handle);
        throw UsbOpenError(libusbOpenHint(rc, step, p_path, id_));
    };
    // A kernel driver bound to the interface is detached on claim and re-attached on release.
    // Not every platform can (LIBUSB_ERROR_NOT_SUPPORTED): then the claim tells.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    if (place->configuration != activeConfiguration) {
        if (const int rc = libusb_set_configuration(handle, place->configuration); rc != LIBUSB_SUCCESS)
            fail(rc, LibusbOpenStep::Configure);
    }
    if (const int rc = libusb_claim_interface(handle, place->interfaceNumber); rc != LIBUSB_SUCCESS)
        fail(rc, LibusbOpenStep::Claim);
    if (place->alternate != 0) {
        if (const int rc = libusb_set_interface_alt_setting(handle, place->interfaceNumber, place->alternate);
            rc != LIBUSB_SUCCESS) {
            libusb_release_interface(handle, place->interfaceNumber);
            fail(rc, LibusbOpenStep::SetAlternate);
        }
    }
    return std::make_unique<LibusbPort>(context_, handle, place->interfaceNumber);
}

} // namespace kelvo
