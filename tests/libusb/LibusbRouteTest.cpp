// The libusb route driven through libusb itself against the simulated scanner, the device
// emulated at the usbfs level by umockdev (see UsbfsBed.h). Runs under umockdev-wrapper.
#include "device/libusb/LibusbBackend.h"
#include "libusb/UsbfsBed.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

namespace kelvo {
namespace {

using test::DeviceDescription;
using test::EmulatedDevice;
using test::ScannerEnd;
using test::UsbfsBed;

// ---------------------------------------------------------------------------------------------
// A small card of our own.

std::uint32_t patternWord(unsigned slot, std::size_t index) {
    return static_cast<std::uint32_t>(index) * 2654435761u ^ (0x5A000000u + slot);
}

std::vector<std::uint8_t> patterned(unsigned slot, std::size_t bytes) {
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes / 4; ++i) {
        const std::uint32_t w = patternWord(slot, i);
        std::memcpy(data.data() + 4 * i, &w, 4);
    }
    return data;
}

// The first index at which `data` departs from the pattern of `slot`, or nothing.
std::optional<std::size_t> firstMismatch(unsigned slot, std::span<const std::uint8_t> data) {
    for (std::size_t i = 0; i < data.size() / 4; ++i) {
        std::uint32_t w;
        std::memcpy(&w, data.data() + 4 * i, 4);
        if (w != patternWord(slot, i)) return 4 * i;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> catalogue(unsigned records, unsigned occupied) {
    std::vector<std::uint8_t> bytes(records * sim::kSector, 0);
    for (unsigned i = 0; i < occupied; ++i) {
        bytes[i * sim::kSector] = sim::kSlotMarker & 0xFF;
        bytes[i * sim::kSector + 1] = sim::kSlotMarker >> 8;
    }
    return bytes;
}

sim::Card smallCard() {
    sim::Card card;
    card.identity.magic_number = 7181;
    card.identity.svn_version = 2013;
    card.imageCatalogue = catalogue(3, 2);
    card.cineCatalogue = catalogue(2, 1);
    card.image = [](unsigned slot) -> std::optional<std::vector<std::uint8_t>> {
        if (slot >= 2) return std::nullopt;
        return patterned(slot, sim::kImageBytes);
    };
    card.cine = [](unsigned slot) -> std::optional<std::vector<std::uint8_t>> {
        if (slot >= 1) return std::nullopt;
        return patterned(100 + slot, sim::kCineBytes);
    };
    return card;
}

// ---------------------------------------------------------------------------------------------
// Command blocks, by hand.

TBuffer_512B filled() {
    TBuffer_512B b;
    b.fill(0xFF);
    return b;
}

TBuffer_512B switchOnBlock() {
    TBuffer_512B b = filled();
    b[0] = 0xFE, b[1] = 0x01, b[2] = 0x38, b[3] = 0x01;
    return b;
}

TBuffer_512B commandBlock(std::uint8_t code) {
    TBuffer_512B b = switchOnBlock();
    b[4] = 0x39, b[5] = code;
    return b;
}

TBuffer_512B wordCommandBlock(std::uint8_t code, std::uint16_t word) {
    TBuffer_512B b = commandBlock(code);
    b[6] = 0x3A, b[7] = static_cast<std::uint8_t>(word & 0xFF), b[8] = 0x3B,
    b[9] = static_cast<std::uint8_t>(word >> 8);
    return b;
}

std::uint16_t word(std::span<const std::uint8_t> reply, std::size_t at) {
    return static_cast<std::uint16_t>(reply[at] | (reply[at + 1] << 8));
}

// ---------------------------------------------------------------------------------------------

class LibusbRoute : public ::testing::Test {
protected:
    RealClock clock;
    sim::Scanner scanner{smallCard(), clock};
    ScannerEnd end{scanner, clock};
    UsbfsBed bed;
    std::unique_ptr<LibusbBackend> backend;
    std::unique_ptr<UsbPort> port;

    // The root hub and the scanner at usb:001:002 (bus 1, port 1).
    EmulatedDevice* addScanner(const DeviceDescription& description = {}) {
        bed.addRootHub(1);
        return bed.addDevice(1, 1, 2, description, &end);
    }

    LibusbBackend& route() {
        if (!backend) backend = std::make_unique<LibusbBackend>(clock, UsbId{});
        return *backend;
    }

    UsbPort& open() {
        std::string path;
        EXPECT_TRUE(route().findDevice(path, 0));
        port = route().openDevice(path);
        return *port;
    }

    void send(const TBuffer_512B& block) {
        ASSERT_TRUE(port->writeBlock(block));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(port->writeBlock(filled()));
    }

    // What WlaczTransmisjeUSB does: the switch-on block, the stale sectors taken, command 55.
    void switchOn() {
        send(switchOnBlock());
        std::vector<std::uint8_t> stale(1024);
        ASSERT_TRUE(port->armRead(stale));
        const auto r = port->waitRead(Millis{1000});
        EXPECT_EQ(r.status, ReadStatus::Completed);
        send(wordCommandBlock(55, 255));
    }

    // One exchange: arm, command and trailer, wait.
    ReadResult exchange(std::span<std::uint8_t> buffer, const TBuffer_512B& command, std::optional<Millis> limit) {
        if (!port->armRead(buffer)) return {ReadStatus::Failed, 0};
        if (!port->writeBlock(command)) {
            port->cancelRead();
            return {ReadStatus::Failed, 0};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        port->writeBlock(filled());
        return port->waitRead(limit);
    }

    void TearDown() override {
        port.reset();
        backend.reset();
        EXPECT_TRUE(scanner.protocolErrors().empty()) << scanner.protocolErrors().front();
    }
};

// ---------------------------------------------------------------------------------------------
// Finding

TEST_F(LibusbRoute, InitLibMayBeCalledAgainAndAgain) {
    addScanner();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(route().initLib());
}

TEST_F(LibusbRoute, FindsNothingWithoutTheScanner) {
    bed.addRootHub(1);
    bed.addDevice(1, 1, 2, DeviceDescription{0x046d, 0xc077, {{0x81}}}, nullptr); // a mouse
    std::string path = "untouched";
    EXPECT_FALSE(route().findDevice(path, 0));
    EXPECT_EQ(path, "untouched");
}

TEST_F(LibusbRoute, FindsTheScannerWithSelectorZeroOnly) {
    addScanner();
    std::string path = "untouched";
    EXPECT_FALSE(route().findDevice(path, 1));
    EXPECT_FALSE(route().findDevice(path, 2));
    EXPECT_EQ(path, "untouched");
    EXPECT_TRUE(route().findDevice(path, 0));
    EXPECT_EQ(path, "usb:001:002");
}

TEST_F(LibusbRoute, FindsAnOverriddenUsbId) {
    bed.addRootHub(1);
    bed.addDevice(1, 1, 5, DeviceDescription{0x1234, 0xabcd, {{0x02, 0x86}}}, &end);
    std::string path;
    EXPECT_FALSE(route().findDevice(path, 0));
    LibusbBackend other(clock, UsbId{0x1234, 0xabcd});
    EXPECT_TRUE(other.findDevice(path, 0));
    EXPECT_EQ(path, "usb:001:005");
}

TEST_F(LibusbRoute, TwoScannersTheFirstEnumeratedWins) {
    bed.addRootHub(1);
    bed.addDevice(1, 1, 2, DeviceDescription{}, &end);
    bed.addDevice(1, 2, 3, DeviceDescription{}, &end);
    // libusb's own order of enumeration
    libusb_context* ctx = nullptr;
    ASSERT_EQ(libusb_init(&ctx), 0);
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(ctx, &list);
    std::string first;
    for (ssize_t i = 0; i < n && first.empty(); ++i) {
        libusb_device_descriptor d{};
        libusb_get_device_descriptor(list[i], &d);
        if (d.idVendor == 0x04b4 && d.idProduct == 0x8613)
            first = libusbDevicePath(libusb_get_bus_number(list[i]), libusb_get_device_address(list[i]));
    }
    libusb_free_device_list(list, 1);
    libusb_exit(ctx);
    ASSERT_FALSE(first.empty());
    std::string path;
    EXPECT_TRUE(route().findDevice(path, 0));
    EXPECT_EQ(path, first);
}

TEST_F(LibusbRoute, DevicePathsReadBack) {
    EXPECT_EQ(libusbDevicePath(1, 2), "usb:001:002");
    EXPECT_EQ(libusbDevicePath(3, 127), "usb:003:127");
    EXPECT_EQ(parseLibusbDevicePath("usb:003:127"), std::make_pair(3u, 127u));
    EXPECT_FALSE(parseLibusbDevicePath(""));
    EXPECT_FALSE(parseLibusbDevicePath("usb:1:2"));
    EXPECT_FALSE(parseLibusbDevicePath("sim:scanner"));
}

// ---------------------------------------------------------------------------------------------
// Opening

TEST_F(LibusbRoute, OpensAndClaimsTheInterface) {
    EmulatedDevice* device = addScanner();
    open();
    EXPECT_EQ(device->claims(), std::vector<unsigned>{0});
    EXPECT_TRUE(device->setInterfaces().empty()); // alternate setting 0 carries the endpoints
    EXPECT_TRUE(port->setTransferSize(kReplyTransferSize));
    port.reset();
    EXPECT_EQ(device->releases(), std::vector<unsigned>{0});
    EXPECT_TRUE(device->unhandled().empty()) << device->unhandled().front();
}

TEST_F(LibusbRoute, SelectsTheAlternateSettingThatCarriesTheEndpoints) {
    DeviceDescription fx2;
    fx2.alternates = {{}, {0x02, 0x86}};
    EmulatedDevice* device = addScanner(fx2);
    open();
    EXPECT_EQ(device->claims(), std::vector<unsigned>{0});
    ASSERT_EQ(device->setInterfaces().size(), 1u);
    EXPECT_EQ(device->setInterfaces()[0], std::make_pair(0u, 1u));
}

TEST_F(LibusbRoute, ARefusedClaimSaysWhatToDo) {
    EmulatedDevice* device = addScanner();
    device->refuseClaims(EBUSY);
    std::string path;
    ASSERT_TRUE(route().findDevice(path, 0));
    try {
        route().openDevice(path);
        FAIL() << "the open did not fail";
    } catch (const UsbOpenError& e) {
        EXPECT_STREQ(e.what(), "BLAD !!!!!!!!!");
        EXPECT_NE(e.hint().find("another program has claimed"), std::string::npos) << e.hint();
        EXPECT_NE(e.hint().find("Close that program"), std::string::npos) << e.hint();
        EXPECT_NE(e.hint().find("usb:001:002"), std::string::npos) << e.hint();
    }
    device->refuseClaims(0);
    EXPECT_NO_THROW(port = route().openDevice(path)); // and once it is free, it opens
}

TEST_F(LibusbRoute, ADeviceWithoutTheEndpointsIsNotTheScanner) {
    DeviceDescription other;
    other.alternates = {{0x01, 0x81}};
    addScanner(other);
    std::string path;
    ASSERT_TRUE(route().findDevice(path, 0));
    try {
        route().openDevice(path);
        FAIL() << "the open did not fail";
    } catch (const UsbOpenError& e) {
        EXPECT_NE(e.hint().find("no interface with the scanner's bulk endpoints 0x02 (OUT) and 0x86 (IN)"),
                  std::string::npos)
            << e.hint();
    }
}

TEST_F(LibusbRoute, AGoneDeviceSaysSo) {
    addScanner();
    try {
        route().openDevice("usb:001:009");
        FAIL() << "the open did not fail";
    } catch (const UsbOpenError& e) {
        EXPECT_NE(e.hint().find("no USB device is at usb:001:009"), std::string::npos) << e.hint();
    }
    try {
        route().openDevice("");
        FAIL() << "the open did not fail";
    } catch (const UsbOpenError& e) {
        EXPECT_NE(e.hint().find("does not name a USB device"), std::string::npos) << e.hint();
    }
}

TEST_F(LibusbRoute, AccessDeniedNamesTheUdevRule) {
    const std::string hint = libusbOpenHint(LIBUSB_ERROR_ACCESS, LibusbOpenStep::Open, "usb:001:002", UsbId{});
    EXPECT_NE(hint.find("may not open it"), std::string::npos) << hint;
    EXPECT_NE(hint.find("/etc/udev/rules.d/70-kelvo.rules"), std::string::npos) << hint;
    EXPECT_NE(hint.find(R"(SUBSYSTEM=="usb", ATTR{idVendor}=="04b4", ATTR{idProduct}=="8613", TAG+="uaccess")"),
              std::string::npos)
        << hint;
    EXPECT_NE(hint.find("unplug the scanner and plug it in again"), std::string::npos) << hint;
    EXPECT_NE(hint.find("as root"), std::string::npos) << hint;
    const std::string other =
        libusbOpenHint(LIBUSB_ERROR_ACCESS, LibusbOpenStep::Open, "usb:002:007", UsbId{0x1234, 0xabcd});
    EXPECT_NE(other.find(R"(ATTR{idVendor}=="1234", ATTR{idProduct}=="abcd")"), std::string::npos) << other;
}

// ---------------------------------------------------------------------------------------------
// The command channel

TEST_F(LibusbRoute, ACommandAndItsTrailerReachTheScannerByteForByte) {
    EmulatedDevice* device = addScanner();
    open();
    const TBuffer_512B on = switchOnBlock();
    const TBuffer_512B command = wordCommandBlock(13, 0x0102);
    send(on);
    send(command);
    const auto blocks = device->blocksOut();
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0], std::vector<std::uint8_t>(on.begin(), on.end()));
    EXPECT_EQ(blocks[1], std::vector<std::uint8_t>(512, 0xFF));
    EXPECT_EQ(blocks[2], std::vector<std::uint8_t>(command.begin(), command.end()));
    EXPECT_EQ(blocks[3], std::vector<std::uint8_t>(512, 0xFF));
    for (const auto& urb : device->submitted()) {
        EXPECT_EQ(urb.endpoint, 0x02);
        EXPECT_EQ(urb.length, 512u);
    }
    // and the scanner read them as the switch-on block, a command 13 for slot 0x0102, trailers
    const auto events = scanner.log().events();
    ASSERT_EQ(std::count_if(events.begin(), events.end(), [](const WireEvent& e) { return e.kind == "write"; }), 4);
}

TEST_F(LibusbRoute, AQueryExchange) {
    EmulatedDevice* device = addScanner();
    open();
    switchOn();
    device->clearSeen();
    std::vector<std::uint8_t> reply(512, 0xAA);
    const TBuffer_512B command = commandBlock(51);
    ASSERT_TRUE(std::equal(command.begin(), command.begin() + 7,
                           std::vector<std::uint8_t>{0xFE, 0x01, 0x38, 0x01, 0x39, 51, 0xFF}.begin()));
    const auto r = exchange(reply, command, Millis{256});
    EXPECT_EQ(r.status, ReadStatus::Completed);
    EXPECT_EQ(r.bytes, 512u);
    EXPECT_EQ(word(reply, 2), 7181);
    const auto urbs = device->submitted();
    ASSERT_EQ(urbs.size(), 3u); // arm, command, trailer
    EXPECT_EQ(urbs[0].endpoint, 0x86);
    EXPECT_EQ(urbs[0].length, 512u);
    const auto blocks = device->blocksOut();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[1], std::vector<std::uint8_t>(512, 0xFF));
    EXPECT_EQ(device->inUrbsPending(), 0u);

    // How long one query takes through libusb and the emulation, the 10 ms pause included.
    constexpr int kRounds = 20;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_EQ(exchange(reply, commandBlock(50), Millis{256}).status, ReadStatus::Completed);
        ASSERT_EQ(word(reply, 2), 2013);
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::cout << "[ measured ] one query exchange (arm, command, 10 ms, trailer, wait): " << ms / kRounds << " ms\n";
}

TEST_F(LibusbRoute, ReadsBeforeACommandAreArmedBeforeItGoesOut) {
    EmulatedDevice* device = addScanner();
    open();
    switchOn();
    device->clearSeen();
    std::vector<std::uint8_t> reply(512);
    ASSERT_TRUE(port->armRead(reply));
    // Armed means submitted: the urb is at the device before the command is written.
    ASSERT_EQ(device->submitted().size(), 1u);
    EXPECT_EQ(device->submitted()[0].endpoint, 0x86);
    EXPECT_FALSE(port->armRead(reply)); // one read at a time
    send(commandBlock(50));
    const auto r = port->waitRead(Millis{256});
    EXPECT_EQ(r.status, ReadStatus::Completed);
    EXPECT_EQ(word(reply, 2), 2013);
    EXPECT_EQ(port->waitRead(Millis{10}).status, ReadStatus::Failed); // nothing armed
}

TEST_F(LibusbRoute, A32MiBCineStreamsInChunksIntoTheOneBuffer) {
    EmulatedDevice* device = addScanner();
    open();
    switchOn();
    device->clearSeen();
    std::vector<std::uint8_t> cine(sim::kCineBytes, 0);
    const auto start = std::chrono::steady_clock::now();
    const auto r = exchange(cine, wordCommandBlock(23, 0), std::nullopt);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(r.status, ReadStatus::Completed);
    EXPECT_EQ(r.bytes, sim::kCineBytes);
    EXPECT_EQ(firstMismatch(100, cine), std::nullopt);

    std::size_t inUrbs = 0, inBytes = 0, largest = 0;
    for (const auto& urb : device->submitted()) {
        if (urb.endpoint != 0x86) continue;
        ++inUrbs;
        inBytes += urb.length;
        largest = std::max(largest, urb.length);
        EXPECT_EQ(urb.length % 512, 0u);
    }
    EXPECT_GT(inUrbs, 1u);
    EXPECT_EQ(inBytes, sim::kCineBytes);
    EXPECT_LE(largest, kLibusbChunkBytes);
    EXPECT_LE(device->maxInUrbsWaiting(), kLibusbChunksInFlight);
    EXPECT_LE(device->maxInUrbsWaiting() * kLibusbChunkBytes, std::size_t{16} * 1024 * 1024); // usbfs_memory_mb
    EXPECT_EQ(device->inUrbsPending(), 0u);
    std::cout << "[ measured ] 32 MiB cine through usbfs emulation at the card's "
              << scanner.faults().bytesPerSecond / 1e6 << " MB/s: " << seconds << " s, " << inUrbs << " urbs, at most "
              << device->maxInUrbsWaiting() << " in flight\n";
    RecordProperty("cine_seconds", std::to_string(seconds));
}

TEST_F(LibusbRoute, A32MiBCineAtOnceMeasuresTheEmulation) {
    sim::ScannerFaults faults = scanner.faults();
    faults.bytesPerSecond = 0; // the whole reply is there at once: what is left is libusb and usbfs emulation
    scanner.setFaults(faults);
    EmulatedDevice* device = addScanner();
    open();
    switchOn();
    device->clearSeen();
    std::vector<std::uint8_t> cine(sim::kCineBytes, 0);
    const auto start = std::chrono::steady_clock::now();
    const auto r = exchange(cine, wordCommandBlock(23, 0), std::nullopt);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(r.status, ReadStatus::Completed);
    EXPECT_EQ(r.bytes, sim::kCineBytes);
    EXPECT_EQ(firstMismatch(100, cine), std::nullopt);
    std::cout << "[ measured ] 32 MiB cine with the data there at once: " << seconds << " s (" << 32.0 / seconds
              << " MiB/s through libusb and the usbfs emulation)\n";
}

TEST_F(LibusbRoute, AShortReplyEndsAStreamedReadAndCancelsTheRest) {
    sim::ScannerFaults faults = scanner.faults();
    const std::size_t shortLength = 3 * kLibusbChunkBytes + 512;
    faults.shortReplies[23] = shortLength;
    faults.bytesPerSecond = 0;
    scanner.setFaults(faults);
    EmulatedDevice* device = addScanner();
    open();
    switchOn();
    device->clearSeen();
    std::vector<std::uint8_t> cine(sim::kCineBytes, 0);
    const auto r = exchange(cine, wordCommandBlock(23, 0), Millis{5000});
    ASSERT_EQ(r.status, ReadStatus::Completed);
    EXPECT_EQ(r.bytes, shortLength);
    EXPECT_EQ(firstMismatch(100, std::span<const std::uint8_t>(cine).first(shortLength)), std::nullopt);
    EXPECT_GE(device->discards(), 1u); // the chunks queued behind the short one
    EXPECT_EQ(device->discardedReaped(), device->discards());
    EXPECT_EQ(device->inUrbsPending(), 0u);
    // the next exchange is in step
    std::vector<std::uint8_t> reply(512);
    const auto q = exchange(reply, commandBlock(51), Millis{256});
    EXPECT_EQ(q.status, ReadStatus::Completed);
    EXPECT_EQ(word(reply, 2), 7181);
}

TEST_F(LibusbRoute, AReplyThatNeverComesTimesOutAndTheNextReadGetsTheNextReply) {
    sim::ScannerFaults faults = scanner.faults();
    faults.silentCommands.insert(51);
    scanner.setFaults(faults);
    EmulatedDevice* device = addScanner();
    open();
    switchOn();
    device->clearSeen();

    std::vector<std::uint8_t> first(512, 0xC3);
    const auto start = std::chrono::steady_clock::now();
    const auto r = exchange(first, commandBlock(51), Millis{256});
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, ReadStatus::TimedOut);
    EXPECT_EQ(r.bytes, 0u);
    EXPECT_GE(waited, std::chrono::milliseconds(256));
    EXPECT_LT(waited, std::chrono::milliseconds(1500));
    EXPECT_EQ(device->discards(), 1u);
    EXPECT_EQ(device->discardedReaped(), 1u);
    EXPECT_EQ(device->inUrbsPending(), 0u);

    std::vector<std::uint8_t> second(512, 0x3C);
    const auto q = exchange(second, commandBlock(50), Millis{256});
    EXPECT_EQ(q.status, ReadStatus::Completed);
    EXPECT_EQ(q.bytes, 512u);
    EXPECT_EQ(word(second, 2), 2013);                       // the svn version, not anything of the silent query
    EXPECT_EQ(first, std::vector<std::uint8_t>(512, 0xC3)); // the retired read's buffer was never touched
}

TEST_F(LibusbRoute, ATimedOutStreamedReadRetiresEveryChunk) {
    sim::ScannerFaults faults = scanner.faults();
    faults.bytesPerSecond = 8e6; // 32 MiB take 4 s: a 300 ms wait runs out in the middle
    scanner.setFaults(faults);
    EmulatedDevice* device = addScanner();
    open();
    switchOn();
    device->clearSeen();
    std::vector<std::uint8_t> cine(sim::kCineBytes, 0);
    const auto r = exchange(cine, wordCommandBlock(23, 0), Millis{300});
    EXPECT_EQ(r.status, ReadStatus::TimedOut);
    EXPECT_GT(r.bytes, 0u);
    EXPECT_LT(r.bytes, sim::kCineBytes);
    EXPECT_EQ(firstMismatch(100, std::span<const std::uint8_t>(cine).first(r.bytes)), std::nullopt);
    EXPECT_EQ(device->discardedReaped(), device->discards());
    EXPECT_GE(device->discards(), 1u);
    EXPECT_EQ(device->inUrbsPending(), 0u);
}

// The long wait of a cine, which the break flag ends between two looks.
TEST_F(LibusbRoute, AStoppedStreamedReadEndsAsATimedOutOneAndRetiresEveryChunk) {
    sim::ScannerFaults faults = scanner.faults();
    faults.bytesPerSecond = 8e6; // 32 MiB take 4 s: the stop comes in the middle
    scanner.setFaults(faults);
    EmulatedDevice* device = addScanner();
    open();
    switchOn();
    device->clearSeen();
    std::vector<std::uint8_t> cine(sim::kCineBytes, 0);
    ASSERT_TRUE(port->armRead(cine));
    ASSERT_TRUE(port->writeBlock(wordCommandBlock(23, 0)));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    port->writeBlock(filled());
    const auto start = std::chrono::steady_clock::now();
    const auto r = port->waitReadUnless(Millis{60000}, [&] {
        return std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(300);
    });
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, ReadStatus::TimedOut);
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::milliseconds(1500));
    EXPECT_GT(r.bytes, 0u);
    EXPECT_LT(r.bytes, sim::kCineBytes);
    EXPECT_EQ(firstMismatch(100, std::span<const std::uint8_t>(cine).first(r.bytes)), std::nullopt);
    EXPECT_EQ(device->discardedReaped(), device->discards());
    EXPECT_EQ(device->inUrbsPending(), 0u);
}

TEST_F(LibusbRoute, ACancelledReadIsRetired) {
    EmulatedDevice* device = addScanner();
    open();
    switchOn();
    device->clearSeen();
    std::vector<std::uint8_t> image(sim::kImageBytes);
    ASSERT_TRUE(port->armRead(image));
    port->cancelRead();
    EXPECT_EQ(device->discards(), 1u);
    EXPECT_EQ(device->discardedReaped(), 1u);
    EXPECT_EQ(device->inUrbsPending(), 0u);
    EXPECT_EQ(port->waitRead(Millis{10}).status, ReadStatus::Failed);
    // and the port goes on
    std::vector<std::uint8_t> reply(512);
    EXPECT_EQ(exchange(reply, commandBlock(51), Millis{256}).status, ReadStatus::Completed);
    EXPECT_EQ(word(reply, 2), 7181);
}

TEST_F(LibusbRoute, AnImageReadCompletesInOneUrb) {
    EmulatedDevice* device = addScanner();
    open();
    switchOn();
    device->clearSeen();
    std::vector<std::uint8_t> image(sim::kImageBytes);
    const auto r = exchange(image, wordCommandBlock(13, 1), Millis{5000});
    EXPECT_EQ(r.status, ReadStatus::Completed);
    EXPECT_EQ(r.bytes, sim::kImageBytes);
    EXPECT_EQ(firstMismatch(1, image), std::nullopt);
    EXPECT_EQ(device->submitted()[0].length, sim::kImageBytes);
}

TEST_F(LibusbRoute, AReadFailsWhenTheScannerGoesAway) {
    addScanner();
    open();
    switchOn();
    sim::ScannerFaults faults = scanner.faults();
    faults.linkLostAfterBlocks = 5; // switch-on, its trailer, command 55, its trailer, and one more block
    scanner.setFaults(faults);
    std::vector<std::uint8_t> reply(512);
    ASSERT_TRUE(port->armRead(reply));
    EXPECT_TRUE(port->writeBlock(commandBlock(51)));
    EXPECT_FALSE(port->writeBlock(filled())); // the cable goes: the trailer never arrives
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->waitRead(std::nullopt).status, ReadStatus::Failed); // no hang without a limit
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(port->armRead(reply)); // nothing can be armed on a device that is gone
}

TEST_F(LibusbRoute, AWriteToAScannerWhoseLinkIsGoneFails) {
    sim::ScannerFaults faults = scanner.faults();
    faults.linkLostAfterBlocks = 2;
    scanner.setFaults(faults);
    addScanner();
    open();
    EXPECT_TRUE(port->writeBlock(switchOnBlock()));
    EXPECT_TRUE(port->writeBlock(filled()));
    EXPECT_FALSE(port->writeBlock(commandBlock(51)));
}

} // namespace
} // namespace kelvo
