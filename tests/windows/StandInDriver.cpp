#include "StandInDriver.h"

#include <atomic>
#include <cstring>
#include <stdexcept>

namespace kelvo::test {

std::wstring uniqueName(const wchar_t* stem) {
    static std::atomic<unsigned> counter{0};
    return std::wstring(stem) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

StandInDriver::StandInDriver() : name_(L"\\\\.\\pipe\\" + uniqueName(L"kelvo-standin")) {
    // Out buffer 0: a host write pends until the scanner reads it. In buffer 64 KiB: the
    // scanner's writes are buffered, so a test can send a reply before or after the read is armed.
    host_ = CreateNamedPipeW(name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                             PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, 65536, 0, nullptr);
    if (host_ == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateNamedPipeW failed");
    scanner_ = CreateFileW(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (scanner_ == INVALID_HANDLE_VALUE) {
        CloseHandle(host_);
        throw std::runtime_error("the scanner's end of the pipe could not be opened");
    }
}

StandInDriver::~StandInDriver() {
    if (host_ != INVALID_HANDLE_VALUE) CloseHandle(host_);
    unplug();
}

std::unique_ptr<CyUsbPort> StandInDriver::openPort() {
    const HANDLE handle = host_;
    host_ = INVALID_HANDLE_VALUE; // the port owns it now
    return std::make_unique<CyUsbPort>(handle, [this](HANDLE h, DWORD code, LPVOID in, DWORD inLength, LPVOID out,
                                                      DWORD outLength, LPDWORD returned, LPOVERLAPPED overlapped) {
        return ioControl(h, code, in, inLength, out, outLength, returned, overlapped);
    });
}

BOOL StandInDriver::ioControl(HANDLE handle, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength,
                              LPDWORD returned, LPOVERLAPPED overlapped) {
    SeenRequest request;
    request.code = code;
    request.inputLength = inLength;
    request.inputBuffer = in;
    request.outputBuffer = out;
    request.outputLength = outLength;
    request.overlapped = overlapped != nullptr;
    if (in && inLength > 0) {
        const auto* bytes = static_cast<const std::uint8_t*>(in);
        request.input.assign(bytes, bytes + inLength);
    }
    {
        const std::lock_guard lock(mutex_);
        seen_.push_back(request);
    }
    if (returned) *returned = 0;
    if (code == IOCTL_ADAPT_SEND_NON_EP0_DIRECT && inLength == sizeof(SINGLE_TRANSFER)) {
        SINGLE_TRANSFER transfer;
        std::memcpy(&transfer, in, sizeof(transfer));
        if (transfer.ucEndpointAddress == kEndpointIn) return ReadFile(handle, out, outLength, nullptr, overlapped);
        if (transfer.ucEndpointAddress == kEndpointOut) return WriteFile(handle, out, outLength, nullptr, overlapped);
    }
    if (code == IOCTL_ADAPT_SET_TRANSFER_SIZE && in) return WriteFile(handle, in, inLength, nullptr, overlapped);
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

void StandInDriver::scannerWrite(const std::vector<std::uint8_t>& bytes) {
    DWORD written = 0;
    if (!WriteFile(scanner_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw std::runtime_error("the scanner's write failed");
}

std::vector<std::uint8_t> StandInDriver::scannerRead(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    std::size_t got = 0;
    while (got < count) {
        DWORD n = 0;
        if (!ReadFile(scanner_, bytes.data() + got, static_cast<DWORD>(count - got), &n, nullptr) || n == 0) break;
        got += n;
    }
    bytes.resize(got);
    return bytes;
}

DWORD StandInDriver::scannerPending() {
    DWORD available = 0;
    if (!PeekNamedPipe(scanner_, nullptr, 0, nullptr, &available, nullptr)) return 0;
    return available;
}

void StandInDriver::unplug() {
    if (scanner_ != INVALID_HANDLE_VALUE) CloseHandle(scanner_);
    scanner_ = INVALID_HANDLE_VALUE;
}

std::vector<SeenRequest> StandInDriver::seen() {
    const std::lock_guard lock(mutex_);
    return seen_;
}

} // namespace kelvo::test
