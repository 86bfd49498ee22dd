// The port's overlapped logic against stand-in handles (no driver): what each request hands to
// the driver, writes and reads that complete, complete short, time out, fail or are refused at
// once, and the retirement of every request that has not completed before its buffers are freed.
#include "device/UsbLibrary.h"
#include "device/cyusb/CyUsbPort.h"

#include "StandInDriver.h"

#include <chrono>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace kelvo::test {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

std::vector<std::uint8_t> pattern(std::size_t count, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

Millis since(Steady::time_point start) { return std::chrono::duration_cast<Millis>(Steady::now() - start); }

void expectRecord(const SeenRequest& request, std::uint8_t endpoint) {
    EXPECT_EQ(request.code, IOCTL_ADAPT_SEND_NON_EP0_DIRECT);
    EXPECT_EQ(request.inputLength, 38u);
    ASSERT_EQ(request.input.size(), 38u);
    for (std::size_t i = 0; i < 38; ++i) EXPECT_EQ(request.input[i], i == 13 ? endpoint : 0) << "byte " << i;
    EXPECT_TRUE(request.overlapped);
}

// --- writes ------------------------------------------------------------------------------------

TEST(CyUsbPortWrite, HandsTheDriverTheRecordAndACopyOfTheBlock) {
    StandInDriver driver;
    auto port = driver.openPort();
    TBuffer_512B block;
    const auto bytes = pattern(512, 3);
    std::copy(bytes.begin(), bytes.end(), block.begin());

    std::vector<std::uint8_t> received;
    std::thread scanner([&] { received = driver.scannerRead(512); });
    EXPECT_TRUE(port->writeBlock(block));
    scanner.join();
    EXPECT_EQ(received, bytes);

    const auto seen = driver.seen();
    ASSERT_EQ(seen.size(), 1u);
    expectRecord(seen[0], 0x02);
    EXPECT_EQ(seen[0].outputLength, 512u);
    EXPECT_NE(seen[0].outputBuffer, static_cast<const void*>(block.data())); // the request's own copy
}

TEST(CyUsbPortWrite, NotCompletedInItsWaitIsFalseAndCancelled) {
    StandInDriver driver;
    auto port = driver.openPort();
    TBuffer_512B block;
    block.fill(0x5A);
    const auto start = Steady::now();
    EXPECT_FALSE(port->writeBlock(block)); // nobody reads: still in the "driver" after 256 ms
    const auto took = since(start);
    EXPECT_GE(took, kWriteWait - 20ms);
    EXPECT_LT(took, 5000ms);
    // The request was cancelled before its buffer went: nothing of it ever reaches the scanner.
    EXPECT_EQ(driver.scannerPending(), 0u);
    // The port goes on working: the next write completes.
    block.fill(0x11);
    std::vector<std::uint8_t> received;
    std::thread scanner([&] { received = driver.scannerRead(512); });
    EXPECT_TRUE(port->writeBlock(block));
    scanner.join();
    EXPECT_EQ(received, std::vector<std::uint8_t>(512, 0x11));
}

TEST(CyUsbPortWrite, CommandWhoseBlockTimesOutSendsNoTrailer) {
    StandInDriver driver;
    RealClock clock;
    TUSB_Device device(clock);
    device.aHandle = driver.openPort();
    TBuffer_512B block;
    block.fill(0x01);
    EXPECT_FALSE(USB_Send_Command(device, block));
    EXPECT_EQ(driver.seen().size(), 1u); // the command block only
    EXPECT_EQ(driver.scannerPending(), 0u);
}

TEST(CyUsbPortWrite, CommandIsTheBlockThenTheTrailer) {
    StandInDriver driver;
    RealClock clock;
    TUSB_Device device(clock);
    device.aHandle = driver.openPort();
    TBuffer_512B block;
    block.fill(0xFF);
    block[0] = 0xFE;
    block[1] = 0x01;
    std::vector<std::uint8_t> received;
    std::thread scanner([&] { received = driver.scannerRead(1024); });
    EXPECT_TRUE(USB_Send_Command(device, block));
    scanner.join();
    ASSERT_EQ(received.size(), 1024u);
    EXPECT_EQ(received[0], 0xFE);
    EXPECT_EQ(received[1], 0x01);
    for (std::size_t i = 2; i < 1024; ++i) ASSERT_EQ(received[i], 0xFF) << "byte " << i;
    const auto seen = driver.seen();
    ASSERT_EQ(seen.size(), 2u);
    expectRecord(seen[0], 0x02);
    expectRecord(seen[1], 0x02);
}

TEST(CyUsbPortWrite, ToAScannerThatWentAwayIsFalse) {
    StandInDriver driver;
    auto port = driver.openPort();
    driver.unplug();
    TBuffer_512B block{};
    const auto start = Steady::now();
    EXPECT_FALSE(port->writeBlock(block));
    EXPECT_LT(since(start), 5000ms);
}

TEST(CyUsbPortWrite, RequestRefusedAtOnceIsFalseWithoutWaiting) {
    // The seam refuses with an error code (as the platform does for a handle that is no CyUSB
    // device): nothing is in flight, so nothing is waited for or cancelled.
    const std::wstring name = L"\\\\.\\pipe\\" + uniqueName(L"kelvo-refused");
    const HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    int calls = 0;
    CyUsbPort port(pipe, [&](HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED overlapped) {
        ++calls;
        overlapped->Internal = STATUS_PENDING; // as kernel32 marks it before the request goes down
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    });
    TBuffer_512B block{};
    const auto start = Steady::now();
    EXPECT_FALSE(port.writeBlock(block));
    EXPECT_FALSE(port.setTransferSize(kReplyTransferSize));
    std::vector<std::uint8_t> buffer(512);
    EXPECT_FALSE(port.armRead(buffer));
    EXPECT_LT(since(start), kWriteWait);
    EXPECT_EQ(calls, 3);
}

// --- the real DeviceIoControl on handles that are no CyUSB device ------------------------------

TEST(CyUsbPortStandIn, NamedPipeRefusesTheDriverRequests) {
    const std::wstring name = L"\\\\.\\pipe\\" + uniqueName(L"kelvo-pipe");
    const HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 512, 512, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    CyUsbPort port(pipe); // ::DeviceIoControl
    TBuffer_512B block{};
    const auto start = Steady::now();
    EXPECT_FALSE(port.writeBlock(block));
    std::vector<std::uint8_t> buffer(1024, 0xAB);
    EXPECT_FALSE(port.armRead(buffer));
    EXPECT_FALSE(port.readArmed());
    EXPECT_EQ(port.waitRead(Millis{50}).status, ReadStatus::Failed);
    port.cancelRead(); // nothing armed: nothing to do
    EXPECT_FALSE(port.setTransferSize(kReplyTransferSize));
    EXPECT_LT(since(start), 2000ms); // refused at once: no 256 ms or 1 s waits
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(1024, 0xAB));
}

TEST(CyUsbPortStandIn, NullAndInvalidHandlesSendNothing) {
    int calls = 0;
    auto count = [&](HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
        ++calls;
        return TRUE;
    };
    for (HANDLE handle : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        CyUsbPort port(handle, count);
        TBuffer_512B block{};
        EXPECT_FALSE(port.writeBlock(block));
        std::vector<std::uint8_t> buffer(512);
        EXPECT_FALSE(port.armRead(buffer));
        EXPECT_FALSE(port.setTransferSize(kReplyTransferSize));
    }
    EXPECT_EQ(calls, 0);
}

// --- reads -------------------------------------------------------------------------------------

TEST(CyUsbPortRead, ArmsWithTheReadRecordAndTheCallersBuffer) {
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> buffer(1024);
    ASSERT_TRUE(port->armRead(buffer));
    const auto seen = driver.seen();
    ASSERT_EQ(seen.size(), 1u);
    expectRecord(seen[0], 0x86);
    EXPECT_EQ(seen[0].outputBuffer, buffer.data()); // the reply goes straight into the buffer
    EXPECT_EQ(seen[0].outputLength, 1024u);
    port->cancelRead();
}

TEST(CyUsbPortRead, ReplyArrivesIntoTheBuffer) {
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> buffer(512);
    ASSERT_TRUE(port->armRead(buffer));
    EXPECT_TRUE(port->readArmed());
    const auto reply = pattern(512, 9);
    driver.scannerWrite(reply);
    const ReadResult result = port->waitRead(Millis{2000});
    EXPECT_EQ(result.status, ReadStatus::Completed);
    EXPECT_EQ(result.bytes, 512u);
    EXPECT_EQ(buffer, reply);
    EXPECT_FALSE(port->readArmed());
}

TEST(CyUsbPortRead, ShortReplyCompletesWithItsLength) {
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> buffer(1024, 0xEE);
    ASSERT_TRUE(port->armRead(buffer));
    driver.scannerWrite(pattern(100, 1));
    const ReadResult result = port->waitRead(Millis{2000});
    EXPECT_EQ(result.status, ReadStatus::Completed);
    EXPECT_EQ(result.bytes, 100u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 100, pattern(100, 1).begin()));
    for (std::size_t i = 100; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE) << "byte " << i; // untouched
}

TEST(CyUsbPortRead, ReplyAlreadyWaitingCompletesAtOnceDespiteAStaleError) {
    StandInDriver driver;
    auto port = driver.openPort();
    driver.scannerWrite(pattern(512, 4));
    std::vector<std::uint8_t> buffer(512);
    SetLastError(ERROR_ACCESS_DENIED); // stale: left over from something else
    ASSERT_TRUE(port->armRead(buffer)); // the request completed within the call
    const ReadResult result = port->waitRead(Millis{0});
    EXPECT_EQ(result.status, ReadStatus::Completed);
    EXPECT_EQ(result.bytes, 512u);
    EXPECT_EQ(buffer, pattern(512, 4));
}

TEST(CyUsbPortRead, TimedOutReadIsRetiredAndALateReplyGoesToTheNextRead) {
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> first(512, 0x00);
    ASSERT_TRUE(port->armRead(first));
    const auto start = Steady::now();
    const ReadResult timedOut = port->waitRead(Millis{60});
    EXPECT_EQ(timedOut.status, ReadStatus::TimedOut);
    EXPECT_EQ(timedOut.bytes, 0u);
    EXPECT_GE(since(start), 40ms);
    EXPECT_FALSE(port->readArmed());

    // The caller may now resize or free the buffer: the driver no longer holds it.
    first.assign(4096, 0x00);
    first.shrink_to_fit();
    // The reply that comes late is not taken for the old read: it lands in the next one.
    driver.scannerWrite(pattern(512, 42));
    std::vector<std::uint8_t> second(512, 0x00);
    ASSERT_TRUE(port->armRead(second));
    const ReadResult result = port->waitRead(Millis{2000});
    EXPECT_EQ(result.status, ReadStatus::Completed);
    EXPECT_EQ(result.bytes, 512u);
    EXPECT_EQ(second, pattern(512, 42));
    EXPECT_EQ(first, std::vector<std::uint8_t>(4096, 0x00));
}

TEST(CyUsbPortRead, NoLimitWaitsUntilTheReplyComes) {
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> buffer(2048);
    ASSERT_TRUE(port->armRead(buffer));
    std::thread scanner([&] {
        std::this_thread::sleep_for(300ms);
        driver.scannerWrite(pattern(2048, 5));
    });
    const auto start = Steady::now();
    const ReadResult result = port->waitRead(std::nullopt);
    scanner.join();
    EXPECT_EQ(result.status, ReadStatus::Completed);
    EXPECT_EQ(result.bytes, 2048u);
    EXPECT_GE(since(start), 250ms);
    EXPECT_EQ(buffer, pattern(2048, 5));
}

// The long wait of a cine, which the break flag ends: asked between slices, and a reply that comes
// in the meantime still completes the read.
TEST(CyUsbPortRead, AWaitThatIsToldToStopEndsAsATimedOutOneAndIsRetired) {
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> buffer(4096, 0x00);
    ASSERT_TRUE(port->armRead(buffer));
    const auto start = Steady::now();
    int asked = 0;
    const ReadResult stopped = port->waitReadUnless(Millis{60000}, [&] {
        ++asked;
        return since(start) >= 300ms;
    });
    EXPECT_EQ(stopped.status, ReadStatus::TimedOut);
    EXPECT_GE(since(start), 250ms);
    EXPECT_LT(since(start), 2000ms);
    EXPECT_GE(asked, 2);
    EXPECT_FALSE(port->readArmed());

    ASSERT_TRUE(port->armRead(buffer));
    std::thread scanner([&] {
        std::this_thread::sleep_for(250ms);
        driver.scannerWrite(pattern(4096, 9));
    });
    const ReadResult result = port->waitReadUnless(Millis{60000}, [] { return false; });
    scanner.join();
    EXPECT_EQ(result.status, ReadStatus::Completed);
    EXPECT_EQ(buffer, pattern(4096, 9));
}

TEST(CyUsbPortRead, ReadThatCompletesWithAnErrorFails) {
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> buffer(512);
    ASSERT_TRUE(port->armRead(buffer));
    driver.unplug(); // the pending read completes with a broken pipe
    const ReadResult result = port->waitRead(Millis{2000});
    EXPECT_EQ(result.status, ReadStatus::Failed);
    EXPECT_FALSE(port->readArmed());
    // Arming again is refused cleanly: the error comes back from the call itself.
    EXPECT_FALSE(port->armRead(buffer));
    EXPECT_EQ(port->waitRead(Millis{10}).status, ReadStatus::Failed);
}

TEST(CyUsbPortRead, OnlyOneReadIsArmedAtATime) {
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> a(512), b(512);
    ASSERT_TRUE(port->armRead(a));
    EXPECT_FALSE(port->armRead(b));
    EXPECT_EQ(driver.seen().size(), 1u);
    driver.scannerWrite(pattern(512, 8));
    EXPECT_EQ(port->waitRead(Millis{2000}).status, ReadStatus::Completed);
    EXPECT_EQ(a, pattern(512, 8));
}

TEST(CyUsbPortRead, CancelledReadTakesNothingAndThePortGoesOn) {
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> first(512, 0x00);
    ASSERT_TRUE(port->armRead(first));
    port->cancelRead();
    EXPECT_FALSE(port->readArmed());
    EXPECT_EQ(port->waitRead(Millis{10}).status, ReadStatus::Failed); // nothing armed any more
    driver.scannerWrite(pattern(512, 77));
    std::vector<std::uint8_t> second(512);
    ASSERT_TRUE(port->armRead(second));
    EXPECT_EQ(port->waitRead(Millis{2000}).status, ReadStatus::Completed);
    EXPECT_EQ(second, pattern(512, 77));
    EXPECT_EQ(first, std::vector<std::uint8_t>(512, 0x00));
}

TEST(CyUsbPortRead, PortDestroyedWithAReadArmedRetiresIt) {
    StandInDriver driver;
    std::vector<std::uint8_t> buffer(512, 0x00);
    {
        auto port = driver.openPort();
        ASSERT_TRUE(port->armRead(buffer));
    } // the read is cancelled and reaped before the handle closes
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(512, 0x00));
}

TEST(CyUsbPortRead, ManyTimedOutReadsInARow) {
    // The synchronisation drains time out again and again on the same record and event.
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> buffer(512);
    for (int i = 0; i < 20; ++i) {
        buffer.resize(512 * static_cast<std::size_t>(1 + i % 2));
        ASSERT_TRUE(port->armRead(buffer)) << "read " << i;
        ASSERT_EQ(port->waitRead(Millis{5}).status, ReadStatus::TimedOut) << "read " << i;
    }
    driver.scannerWrite(pattern(512, 2));
    buffer.assign(512, 0);
    ASSERT_TRUE(port->armRead(buffer));
    EXPECT_EQ(port->waitRead(Millis{2000}).status, ReadStatus::Completed);
    EXPECT_EQ(buffer, pattern(512, 2));
}

// --- the transfer size -------------------------------------------------------------------------

TEST(CyUsbPortTransferSize, RecordIsInputAndOutputAndWaitedFor) {
    StandInDriver driver;
    auto port = driver.openPort();
    std::vector<std::uint8_t> received;
    std::thread scanner([&] { received = driver.scannerRead(5); });
    EXPECT_TRUE(port->setTransferSize(kReplyTransferSize));
    scanner.join();
    EXPECT_EQ(received, (std::vector<std::uint8_t>{0x86, 0x00, 0x00, 0x02, 0x00}));
    const auto seen = driver.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].code, IOCTL_ADAPT_SET_TRANSFER_SIZE);
    EXPECT_EQ(seen[0].inputLength, 5u);
    EXPECT_EQ(seen[0].outputLength, 5u);
    EXPECT_EQ(seen[0].input, (std::vector<std::uint8_t>{0x86, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_EQ(seen[0].outputBuffer, seen[0].inputBuffer);
    EXPECT_TRUE(seen[0].overlapped);
}

TEST(CyUsbPortTransferSize, NotCompletedInItsWaitIsFalseAndCancelled) {
    StandInDriver driver;
    auto port = driver.openPort();
    const auto start = Steady::now();
    EXPECT_FALSE(port->setTransferSize(kReplyTransferSize));
    const auto took = since(start);
    EXPECT_GE(took, kSetTransferSizeWait - 50ms);
    EXPECT_LT(took, 10000ms);
    EXPECT_EQ(driver.scannerPending(), 0u);
}

TEST(CyUsbPortTransferSize, ThroughTheDeviceLayer) {
    StandInDriver driver;
    RealClock clock;
    TUSB_Device device(clock);
    device.aHandle = driver.openPort();
    std::vector<std::uint8_t> received;
    std::thread scanner([&] { received = driver.scannerRead(5); });
    EXPECT_TRUE(USB_Set_Transfer_Size(device));
    scanner.join();
    EXPECT_EQ(received, (std::vector<std::uint8_t>{0x86, 0x00, 0x00, 0x02, 0x00}));
}

} // namespace
} // namespace kelvo::test
