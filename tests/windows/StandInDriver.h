#pragma once
// A stand-in for the CyUSB driver that needs no driver: one duplex named pipe. The port's handle
// is the pipe's server end, opened for overlapped I/O as the device is; the test plays the
// scanner on the client end. The port's requests reach the pipe through its DeviceIoControl seam,
// turned into what the driver would do with them:
//   - IOCTL_ADAPT_SEND_NON_EP0_DIRECT for 0x86: a ReadFile of the request's output buffer, which
//     pends until the scanner writes (a shorter write ends it early, as a short packet does);
//   - IOCTL_ADAPT_SEND_NON_EP0_DIRECT for 0x02: a WriteFile of the output buffer, which pends
//     until the scanner reads it (the host-to-scanner direction of the pipe has no buffer);
//   - IOCTL_ADAPT_SET_TRANSFER_SIZE: a WriteFile of the 5-byte record, the same way.
// Cancellation, completion, events and GetOverlappedResult are the platform's own. Every request
// the seam saw is kept with its code, lengths, buffers and the bytes of its input record.
#include "device/cyusb/CyUsbPort.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kelvo::test {

struct SeenRequest {
    DWORD code = 0;
    std::vector<std::uint8_t> input; // the input record's bytes as the request was issued
    DWORD inputLength = 0;
    const void* inputBuffer = nullptr;
    void* outputBuffer = nullptr;
    DWORD outputLength = 0;
    bool overlapped = false;
};

class StandInDriver {
public:
    StandInDriver();
    ~StandInDriver();
    StandInDriver(const StandInDriver&) = delete;
    StandInDriver& operator=(const StandInDriver&) = delete;

    // A port on the host end; the port owns (and closes) that end from now on.
    std::unique_ptr<CyUsbPort> openPort();

    // The scanner's side, synchronous. Writes are buffered by the pipe and return at once.
    void scannerWrite(const std::vector<std::uint8_t>& bytes);
    // Blocks until `count` bytes came from the host (or the pipe broke); what arrived.
    std::vector<std::uint8_t> scannerRead(std::size_t count);
    // Bytes the host has sent that the scanner has not read yet (0 when a write was cancelled).
    DWORD scannerPending();
    // The scanner goes away: the host's pending and later requests fail with a broken pipe.
    void unplug();

    std::vector<SeenRequest> seen();

private:
    BOOL ioControl(HANDLE handle, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength,
                   LPDWORD returned, LPOVERLAPPED overlapped);

    std::wstring name_;
    HANDLE host_ = INVALID_HANDLE_VALUE;
    HANDLE scanner_ = INVALID_HANDLE_VALUE;
    std::mutex mutex_;
    std::vector<SeenRequest> seen_;
};

// A unique name for a pipe or a file of this test process.
std::wstring uniqueName(const wchar_t* stem);

} // namespace kelvo::test
