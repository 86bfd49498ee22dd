#pragma once
// One opened CyUSB interface: a HANDLE opened for overlapped I/O, and the CyUSB driver's requests
// issued on it. Every request has its own overlapped record and event, and none is ever
// abandoned while the driver may still use its buffers: a request that has not completed in its
// wait is cancelled (CancelIoEx) and its cancellation waited for before anything is freed.
#ifndef _WIN32
#error "CyUsbPort is the Windows route"
#endif

#include "device/UsbPort.h"

#include <windows.h>

#include <functional>

namespace kelvo {

// The interface class GUID of selector `p_typ`: 0 is CYUSBDRV_GUID
// {AE18AA60-7F6A-11D4-97DD-00010229B959}; 1 and 2 the other two; nothing for any other selector.
const GUID* cyUsbInterfaceClass(int p_typ);

// How long setTransferSize waits for the driver before it cancels the request.
inline constexpr Millis kSetTransferSizeWait{1000};

// The Windows desired access of the open: GENERIC_READ | GENERIC_WRITE | FILE_READ_DATA |
// FILE_WRITE_DATA.
inline constexpr DWORD kCyUsbOpenAccess = 0xC0000003;
static_assert((GENERIC_READ | GENERIC_WRITE | FILE_READ_DATA | FILE_WRITE_DATA) == kCyUsbOpenAccess);

class CyUsbPort final : public UsbPort {
public:
    // The call through which requests reach the driver: ::DeviceIoControl, or a stand-in in tests.
    using IoControl = std::function<BOOL(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED)>;

    // Adopts `handle` (opened with FILE_FLAG_OVERLAPPED) and closes it when destroyed.
    explicit CyUsbPort(HANDLE handle, IoControl ioControl = {});
    ~CyUsbPort() override;
    CyUsbPort(const CyUsbPort&) = delete;
    CyUsbPort& operator=(const CyUsbPort&) = delete;

    // IOCTL_ADAPT_SEND_NON_EP0_DIRECT: SINGLE_TRANSFER for 0x02 in, a request-owned copy of the
    // block out; true exactly when GetOverlappedResult reports success after the 256 ms wait.
    bool writeBlock(std::span<const std::uint8_t, kBlockSize> block) override;
    // IOCTL_ADAPT_SEND_NON_EP0_DIRECT: the port's SINGLE_TRANSFER for 0x86 in, `buffer` out.
    bool armRead(std::span<std::uint8_t> buffer) override;
    ReadResult waitRead(std::optional<Millis> limit) override { return waitReadUnless(limit, {}); }
    ReadResult waitReadUnless(std::optional<Millis> limit, const std::function<bool()>& stop) override;
    void cancelRead() override;
    // IOCTL_ADAPT_SET_TRANSFER_SIZE with the 5-byte record as input and output, overlapped,
    // waited for at most kSetTransferSizeWait.
    bool setTransferSize(const SET_TRANSFER_SIZE_INFO& info) override;

    HANDLE handle() const { return handle_; }
    bool readArmed() const { return readArmed_; }

private:
    bool usable() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    // Issue one request with an overlapped record and event of its own, wait at most `wait`,
    // and retire it when it has not completed by then. True when it completed successfully.
    bool transact(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength, Millis wait);
    // Cancel the request of `ov` and wait until the driver has given it back; its byte count.
    DWORD retire(OVERLAPPED& ov);

    HANDLE handle_;
    IoControl ioControl_;

    // The one read that can be armed at a time: its record, bytes cell, overlapped record and
    // event live as long as the port, so they outlive every request issued with them.
    SINGLE_TRANSFER readTransfer_{};
    DWORD readBytes_ = 0;
    OVERLAPPED readOverlapped_{};
    HANDLE readEvent_ = nullptr;
    bool readArmed_ = false;
};

} // namespace kelvo
