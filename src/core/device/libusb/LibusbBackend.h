#pragma once
// The route to a real scanner on Linux (and macOS): libusb-1.0, no driver. The scanner is the USB
// device with the given vendor:product (04b4:8613 unless overridden); its interface whose
// alternate setting carries bulk OUT 0x02 and bulk IN 0x86 is claimed.
//
// Reads are armed by submitting asynchronous transfers before the command goes out, so that a
// reply can never be missed. A large read (a cine, 32 MiB in one read) is streamed as up to
// kLibusbChunksInFlight queued transfers of kLibusbChunkBytes into consecutive parts of the one
// buffer, which keeps within the Linux usbfs memory limit (16 MiB by default). All libusb waits
// run on real time: libusb's events are real; the Clock is for nothing here.
#include "device/DeviceBackend.h"
#include "device/NativeBackend.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>

struct libusb_context;
struct libusb_device_handle;
struct libusb_transfer;

namespace kelvo {

// Each queued transfer of a read is at most this long (a multiple of 512 bytes).
inline constexpr std::size_t kLibusbChunkBytes = 1024 * 1024;
// At most this many transfers of one read are queued at a time.
inline constexpr std::size_t kLibusbChunksInFlight = 4;

// "usb:BUS:ADDR", both decimal with 3 digits ("usb:001:005").
std::string libusbDevicePath(unsigned bus, unsigned address);
// The bus number and device address named by such a path; nothing when it is not of that form.
std::optional<std::pair<unsigned, unsigned>> parseLibusbDevicePath(const std::string& path);

// The step of opening that libusb refused.
enum class LibusbOpenStep { Open, Configure, Claim, SetAlternate };
// The hint of a UsbOpenError for a libusb error code at a step of opening `path`: what went
// wrong and what to do about it.
std::string libusbOpenHint(int libusbError, LibusbOpenStep step, const std::string& path, UsbId id);

// One libusb context, owned; the backend and every port it opened share it.
class LibusbContext {
public:
    LibusbContext() = default;
    ~LibusbContext();
    LibusbContext(const LibusbContext&) = delete;
    LibusbContext& operator=(const LibusbContext&) = delete;
    // libusb_init; the libusb error code when it fails.
    int init();
    libusb_context* get() const { return ctx_; }

private:
    libusb_context* ctx_ = nullptr;
};

class LibusbPort final : public UsbPort {
public:
    // Takes over `handle`, whose interface `interfaceNumber` has been claimed.
    LibusbPort(std::shared_ptr<LibusbContext> context, libusb_device_handle* handle, int interfaceNumber);
    ~LibusbPort() override;
    LibusbPort(const LibusbPort&) = delete;
    LibusbPort& operator=(const LibusbPort&) = delete;

    bool writeBlock(std::span<const std::uint8_t, kBlockSize> block) override;
    bool armRead(std::span<std::uint8_t> buffer) override;
    ReadResult waitRead(std::optional<Millis> limit) override { return waitReadUnless(limit, {}); }
    ReadResult waitReadUnless(std::optional<Millis> limit, const std::function<bool()>& stop) override;
    void cancelRead() override;
    bool setTransferSize(const SET_TRANSFER_SIZE_INFO& info) override;

private:
    struct Chunk {
        LibusbPort* port = nullptr;
        libusb_transfer* transfer = nullptr;
        std::size_t length = 0;
        bool done = false; // its callback has run
        int status = 0;    // libusb_transfer_status, once done
        std::size_t actual = 0;
    };
    enum class State { Idle, Streaming, Ending };

    static void onTransfer(libusb_transfer* transfer);
    void completed(Chunk& chunk);
    void account();
    bool submitMore();
    void endRead(ReadStatus outcome);
    void retire();
    bool handleEvents(std::chrono::microseconds wait);

    std::shared_ptr<LibusbContext> context_;
    libusb_device_handle* handle_;
    int interface_;
    std::array<Chunk, kLibusbChunksInFlight> chunks_;
    std::deque<Chunk*> queued_; // submitted chunks not yet accounted for, in submission order

    State state_ = State::Idle;
    std::span<std::uint8_t> buffer_;
    std::size_t nextOffset_ = 0; // where the next chunk to submit starts
    std::size_t delivered_ = 0;  // bytes delivered in order from the buffer's start
    bool contiguous_ = true;     // no chunk so far ended short: later bytes still follow on
    ReadStatus outcome_ = ReadStatus::Failed;
    bool abandoned_ = false; // libusb never gave back a cancelled transfer: the port is dead
};

class LibusbBackend final : public DeviceBackend {
public:
    LibusbBackend(Clock& clock, UsbId id);
    bool initLib() override;
    bool findDevice(std::string& p_path, int p_typ) override;
    std::unique_ptr<UsbPort> openDevice(const std::string& p_path) override;

private:
    [[maybe_unused]] Clock& clock_;
    UsbId id_;
    std::shared_ptr<LibusbContext> context_;
};

} // namespace kelvo
