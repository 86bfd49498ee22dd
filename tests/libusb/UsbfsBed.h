#pragma once
// A USB bus emulated at the usbfs level with umockdev: a mocked sysfs with the devices on it, and
// for each device that answers an ioctl handler that plays usbfs for libusb. OUT urbs hand their
// blocks to a far end (the simulated scanner); IN urbs complete with the far end's data once it
// has arrived, taken in order, an urb at a time. A small pump thread of our own completes the IN
// urbs whose data arrives after they were submitted.
//
// The test process must run under umockdev's preload (umockdev-wrapper).
#include "base/Clock.h"
#include "simulator/Scanner.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace kelvo::test {

// The other end of the wire.
class FarEnd {
public:
    virtual ~FarEnd() = default;
    virtual bool receiveBlock(std::span<const std::uint8_t> block) = 0;
    // When the first `wanted` bytes of the front reply (all of it if shorter) have arrived.
    virtual std::optional<Millis> readyAt(std::size_t wanted) = 0;
    virtual sim::Scanner::Delivery deliver(std::span<std::uint8_t> out) = 0;
    virtual Millis now() = 0;
    // False once the device is gone: its urbs end with -ESHUTDOWN, new ones are refused.
    virtual bool linkUp() = 0;
};

// The simulated scanner as the far end, on real time.
class ScannerEnd final : public FarEnd {
public:
    ScannerEnd(sim::Scanner& scanner, const Clock& clock) : scanner_(scanner), clock_(clock) {}
    bool receiveBlock(std::span<const std::uint8_t> block) override { return scanner_.receiveBlock(block); }
    std::optional<Millis> readyAt(std::size_t wanted) override { return scanner_.readyAt(wanted); }
    sim::Scanner::Delivery deliver(std::span<std::uint8_t> out) override { return scanner_.deliver(out); }
    Millis now() override { return clock_.now(); }
    bool linkUp() override { return scanner_.linkUp(); }

private:
    sim::Scanner& scanner_;
    const Clock& clock_;
};

// The descriptors sysfs shows for a device, as bytes.
struct DeviceDescription {
    std::uint16_t vendor = 0x04b4;
    std::uint16_t product = 0x8613;
    // Interface 0: alternate settings, each with its endpoint addresses (all bulk, 512 bytes).
    std::vector<std::vector<std::uint8_t>> alternates{{0x02, 0x86}};
    std::vector<std::uint8_t> descriptors() const;
};

// What the handler saw of one urb.
struct UrbSeen {
    std::uint8_t endpoint = 0;
    std::size_t length = 0;
};

class UsbfsBed;

// One device on the bus whose node answers usbfs ioctls.
class EmulatedDevice {
public:
    EmulatedDevice(UsbfsBed& bed, unsigned bus, unsigned devnum, FarEnd* end);
    ~EmulatedDevice();
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;

    // errno for claims (0: granted).
    void refuseClaims(int error);

    // Observations.
    std::vector<UrbSeen> submitted() const;
    std::vector<std::vector<std::uint8_t>> blocksOut() const; // every OUT urb's bytes, in order
    std::vector<unsigned> claims() const;
    std::vector<unsigned> releases() const;
    std::vector<std::pair<unsigned, unsigned>> setInterfaces() const;
    std::size_t inUrbsPending() const;    // IN urbs not yet reaped
    std::size_t maxInUrbsWaiting() const; // most IN urbs in flight at one time
    std::size_t discards() const;         // DISCARDURB requests that found their urb
    std::size_t discardedReaped() const;  // discarded urbs given back by a reap
    std::vector<std::string> unhandled() const;
    void clearSeen();

private:
    struct Urb {
        UMockdevIoctlData* data = nullptr;   // the urb struct (our copy)
        UMockdevIoctlData* buffer = nullptr; // its buffer (our copy)
        bool in = false;
        std::size_t length = 0;
    };

    static int onIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    bool handle(UMockdevIoctlClient* client);
    void progress(); // completes the front IN urbs whose data has arrived, or all when the link is gone; mutex held
    void pump();
    static void release(Urb& urb);

    UsbfsBed& bed_;
    FarEnd* end_;
    std::string node_;
    UMockdevIoctlBase* handler_ = nullptr;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::deque<Urb> waitingIn_; // IN urbs waiting for data, in submission order
    std::deque<Urb> finished_;  // completed, to be reaped
    std::deque<Urb> discarded_; // discarded, to be reaped with -ENOENT
    int claimErrno_ = 0;
    std::vector<UrbSeen> submitted_;
    std::vector<std::vector<std::uint8_t>> blocksOut_;
    std::vector<unsigned> claims_, releases_;
    std::vector<std::pair<unsigned, unsigned>> setInterfaces_;
    std::size_t discards_ = 0, discardedReaped_ = 0, maxWaitingIn_ = 0;
    std::vector<std::string> unhandled_;
    std::thread pump_;
};

class UsbfsBed {
public:
    UsbfsBed();
    ~UsbfsBed();
    UsbfsBed(const UsbfsBed&) = delete;
    UsbfsBed& operator=(const UsbfsBed&) = delete;

    // A root hub at usb<bus> (device 1), which nothing talks to.
    void addRootHub(unsigned bus);
    // A device on port `port` of bus `bus` with address `devnum`; with a far end, its node answers.
    EmulatedDevice* addDevice(unsigned bus, unsigned port, unsigned devnum, const DeviceDescription& description,
                              FarEnd* end);

    UMockdevTestbed* testbed() { return testbed_; }

private:
    void add(const std::string& sysPath, unsigned bus, unsigned devnum, const std::vector<std::uint8_t>& descriptors);

    UMockdevTestbed* testbed_ = nullptr;
    std::vector<std::unique_ptr<EmulatedDevice>> devices_;
};

} // namespace kelvo::test
