#include "device/cyusb/CyUsbBackend.h"

#include "device/cyusb/CyUsbPort.h"

// Types and prototypes only: the entry points are bound at run time, nothing of SetupAPI is linked.
#include <setupapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kelvo {

namespace {

// --- text --------------------------------------------------------------------------------------

std::string utf8FromWide(const wchar_t* text, int length) {
    if (length <= 0) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

// The device path from SetupAPI is ANSI text; inside the program text is UTF-8.
std::string utf8FromAnsi(const char* text) {
    const int length = static_cast<int>(std::strlen(text));
    if (length == 0) return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), size);
    return utf8FromWide(wide.data(), size);
}

bool wideFromUtf8(const std::string& text, std::wstring& out) {
    out.clear();
    if (text.empty()) return true;
    if (text.size() > 0x7FFFFFFF) return false;
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (size <= 0) return false;
    out.assign(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, out.data(), size);
    return true;
}

// Windows' own text for an error code, without its trailing line break.
std::string systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer) text = utf8FromWide(buffer, static_cast<int>(length));
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

// What a user should read when the open fails: the reason in plain words, then Windows' code.
std::string openHint(DWORD code, const std::string& path) {
    std::string plain;
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        plain = "Windows refused access to the scanner: another program has the scanner open "
                "(perhaps a second copy of this one); close it and try again";
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
        plain = path.empty() ? "Windows gave no device path for the scanner's interface; unplug the scanner, "
                               "plug it in again and try again"
                             : "there is no device at \"" + path +
                                   "\": the scanner was unplugged or switched off; check the cable and try again";
        break;
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_IO_DEVICE:
        plain = "the scanner does not respond; switch it off and on, or unplug it and plug it in again";
        break;
    default:
        plain = "Windows could not open the scanner at \"" + path + "\"";
        break;
    }
    const std::string system = systemMessage(code);
    plain += " (Windows error " + std::to_string(code);
    if (!system.empty()) plain += ": " + system;
    plain += ")";
    return plain;
}

// GetProcAddress gives a generic function pointer; going through void(*)() keeps GCC's
// -Wcast-function-type quiet about the deliberate cast to the entry point's real type.
template <typename Fn>
Fn bindEntry(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// --- the driver's interface classes ----------------------------------------------------------

constexpr GUID kInterfaceClasses[3] = {
    {0xAE18AA60, 0x7F6A, 0x11D4, {0x97, 0xDD, 0x00, 0x01, 0x02, 0x29, 0xB9, 0x59}}, // CYUSBDRV_GUID
    {0xB35924D6, 0x3E16, 0x4A9E, {0x97, 0x82, 0x55, 0x24, 0xA4, 0xB7, 0x9B, 0xAC}},
    {0xF880ADE3, 0x3534, 0x4F43, {0x9A, 0x7C, 0xA7, 0x4F, 0xFC, 0x0F, 0xD5, 0x9D}},
};

constexpr DWORD kClassDevsFlags = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
static_assert(kClassDevsFlags == 0x12);

} // namespace

const GUID* cyUsbInterfaceClass(int p_typ) {
    if (p_typ < 0 || p_typ > 2) return nullptr;
    return &kInterfaceClasses[p_typ];
}

// --- SetupAPI, loaded by name -------------------------------------------------------------------

struct CyUsbBackend::SetupApi {
    // decltype of the prototypes names their exact types without referring to the functions.
    using GetDetail = decltype(&::SetupDiGetDeviceInterfaceDetailA);
    using GetClassDevs = decltype(&::SetupDiGetClassDevsA);
    using EnumInterfaces = decltype(&::SetupDiEnumDeviceInterfaces);
    using DestroyList = decltype(&::SetupDiDestroyDeviceInfoList);

    HMODULE module = nullptr;
    GetDetail getDetail = nullptr;
    GetClassDevs getClassDevs = nullptr;
    EnumInterfaces enumInterfaces = nullptr;
    DestroyList destroyList = nullptr;

    SetupApi() = default;
    SetupApi(const SetupApi&) = delete;
    SetupApi& operator=(const SetupApi&) = delete;
    ~SetupApi() {
        if (module) FreeLibrary(module);
    }

    bool bound() const { return getDetail && getClassDevs && enumInterfaces && destroyList; }
};

namespace {

// A device information set, destroyed on every way out of the find.
class InfoList {
public:
    InfoList(HDEVINFO set, CyUsbBackend::SetupApi::DestroyList destroy) : set_(set), destroy_(destroy) {}
    ~InfoList() { destroy_(set_); }
    InfoList(const InfoList&) = delete;
    InfoList& operator=(const InfoList&) = delete;
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
    CyUsbBackend::SetupApi::DestroyList destroy_;
};

// _USB_Get_Device_Path: the device path of an enumerated interface. `p_path` is changed only
// when the path was read.
bool USB_Get_Device_Path(const CyUsbBackend::SetupApi& api, HDEVINFO p_info, SP_DEVICE_INTERFACE_DATA& p_interface,
                         std::string& p_path) {
    DWORD required = 0;
    (void)api.getDetail(p_info, &p_interface, nullptr, 0, &required, nullptr);
    if (required == 0) return false;
    // The record is a DWORD followed by the text: allocate whole DWORDs (for its alignment) and
    // one more, zeroed, so that the text ends within the allocation whatever the driver wrote.
    std::vector<DWORD> storage(required / sizeof(DWORD) + 2, 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    // The fixed part of the record for this process: 5 in a 32-bit build, 8 in a 64-bit one.
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!api.getDetail(p_info, &p_interface, detail, required, nullptr, nullptr)) return false;
    p_path = utf8FromAnsi(detail->DevicePath);
    return true;
}

} // namespace

// --- the backend -------------------------------------------------------------------------------

CyUsbBackend::CyUsbBackend(Clock& clock) : clock_(clock), api_(std::make_unique<SetupApi>()) {}

CyUsbBackend::~CyUsbBackend() = default;

bool CyUsbBackend::initLib() {
    HMODULE module = LoadLibraryW(L"setupapi.dll");
    if (!module) return false; // then nothing was ever bound: the backend holds no module
    // Keep one reference for the backend's life; a repeated load gives the same module, and its
    // extra reference is dropped at once (the library stays loaded through the kept one).
    if (api_->module) FreeLibrary(module);
    else api_->module = module;

    api_->getDetail = bindEntry<SetupApi::GetDetail>(api_->module, "SetupDiGetDeviceInterfaceDetailA");
    api_->getClassDevs = bindEntry<SetupApi::GetClassDevs>(api_->module, "SetupDiGetClassDevsA");
    api_->enumInterfaces = bindEntry<SetupApi::EnumInterfaces>(api_->module, "SetupDiEnumDeviceInterfaces");
    api_->destroyList = bindEntry<SetupApi::DestroyList>(api_->module, "SetupDiDestroyDeviceInfoList");
    return api_->bound();
}

bool CyUsbBackend::findDevice(std::string& p_path, int p_typ) {
    const GUID* interfaceClass = cyUsbInterfaceClass(p_typ);
    if (!interfaceClass) return false;
    if (!api_->bound() && !initLib()) return false;

    const HDEVINFO set = api_->getClassDevs(interfaceClass, nullptr, nullptr, kClassDevsFlags);
    if (set == INVALID_HANDLE_VALUE || set == nullptr) return false;
    const InfoList list(set, api_->destroyList);

    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA); // 28 in a 32-bit build, 32 in a 64-bit one
    // Only the first interface of the class is ever looked at.
    if (!api_->enumInterfaces(list.get(), nullptr, interfaceClass, 0, &interfaceData)) return false;

    // An interface exists: that is the answer, even when its path cannot be read (the open that
    // follows then fails on the unchanged path).
    (void)USB_Get_Device_Path(*api_, list.get(), interfaceData, p_path);
    return true;
}

std::unique_ptr<UsbPort> CyUsbBackend::openDevice(const std::string& p_path) {
    std::wstring widePath;
    if (!wideFromUtf8(p_path, widePath)) throw UsbOpenError("the scanner's device path is not valid text");
    const HANDLE handle = CreateFileW(widePath.c_str(), kCyUsbOpenAccess, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw UsbOpenError(openHint(GetLastError(), p_path));
    try {
        return std::make_unique<CyUsbPort>(handle);
    } catch (...) {
        CloseHandle(handle);
        throw;
    }
}

// --- the port ----------------------------------------------------------------------------------

namespace {

DWORD waitMillis(Millis limit) {
    if (limit.count() <= 0) return 0;
    // INFINITE (0xFFFFFFFF) is "no limit": a given limit stays just below it.
    return static_cast<DWORD>(std::min<Millis::rep>(limit.count(), 0xFFFFFFFE));
}

// One event of a request, closed on every way out.
class Event {
public:
    Event() : handle_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {} // auto-reset, not signalled, unnamed
    ~Event() {
        if (handle_) CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

} // namespace

CyUsbPort::CyUsbPort(HANDLE handle, IoControl ioControl)
    : handle_(handle), ioControl_(ioControl ? std::move(ioControl) : IoControl(&::DeviceIoControl)),
      readEvent_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CyUsbPort::~CyUsbPort() {
    cancelRead(); // the read's buffer belongs to the caller: give it back before the handle goes
    if (readEvent_) CloseHandle(readEvent_);
    if (usable()) CloseHandle(handle_);
}

DWORD CyUsbPort::retire(OVERLAPPED& ov) {
    // ERROR_NOT_FOUND from the cancel means the request has completed meanwhile: the wait below
    // then returns at once.
    (void)CancelIoEx(handle_, &ov);
    DWORD bytes = 0;
    (void)GetOverlappedResult(handle_, &ov, &bytes, TRUE);
    return bytes;
}

bool CyUsbPort::transact(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength, Millis wait) {
    if (!usable()) return false;
    const Event event;
    if (!event.get()) return false;
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    DWORD returned = 0;
    if (!ioControl_(handle_, code, in, inLength, out, outLength, &returned, &ov) && GetLastError() != ERROR_IO_PENDING) {
        // Refused at once: no request is in flight, and nothing will ever complete the record
        // (kernel32 has marked it pending), so there is nothing to wait for or to cancel.
        return false;
    }
    (void)WaitForSingleObject(event.get(), waitMillis(wait)); // its outcome is not examined
    DWORD transferred = 0;
    if (GetOverlappedResult(handle_, &ov, &transferred, FALSE)) return true;
    // Still in the driver after its wait: a failure, but the driver may still use the buffers,
    // the record and the event, so it is cancelled and given back before they are freed.
    if (GetLastError() == ERROR_IO_INCOMPLETE) (void)retire(ov);
    return false;
}

bool CyUsbPort::writeBlock(std::span<const std::uint8_t, kBlockSize> block) {
    // The request owns its record and its copy of the block until the driver has finished.
    struct {
        SINGLE_TRANSFER transfer = makeSingleTransfer(kEndpointOut);
        TBuffer_512B block{};
    } request;
    std::copy(block.begin(), block.end(), request.block.begin());
    return transact(IOCTL_ADAPT_SEND_NON_EP0_DIRECT, &request.transfer, sizeof(SINGLE_TRANSFER), request.block.data(),
                    static_cast<DWORD>(request.block.size()), kWriteWait);
}

bool CyUsbPort::setTransferSize(const SET_TRANSFER_SIZE_INFO& info) {
    SET_TRANSFER_SIZE_INFO record = info; // input and output of the request, 5 bytes each
    return transact(IOCTL_ADAPT_SET_TRANSFER_SIZE, &record, sizeof(record), &record, sizeof(record),
                    kSetTransferSizeWait);
}

bool CyUsbPort::armRead(std::span<std::uint8_t> buffer) {
    if (!usable() || !readEvent_ || readArmed_) return false;
    if (buffer.size() > 0xFFFFFFFFu) return false;
    readTransfer_ = makeSingleTransfer(kEndpointIn);
    readBytes_ = 0;
    readOverlapped_ = OVERLAPPED{};
    readOverlapped_.hEvent = readEvent_;
    (void)ResetEvent(readEvent_);
    SetLastError(0); // a stale code must not count as the call's
    const BOOL done = ioControl_(handle_, IOCTL_ADAPT_SEND_NON_EP0_DIRECT, &readTransfer_, sizeof(SINGLE_TRANSFER),
                                 buffer.data(), static_cast<DWORD>(buffer.size()), &readBytes_, &readOverlapped_);
    const DWORD error = GetLastError();
    // Armed when the call completed at once or the request is pending in the driver.
    if (!done && error != 0 && error != ERROR_IO_PENDING) return false;
    readArmed_ = true;
    return true;
}

ReadResult CyUsbPort::waitReadUnless(std::optional<Millis> limit, const std::function<bool()>& stop) {
    if (!readArmed_) return {ReadStatus::Failed, 0};
    DWORD waited = WAIT_TIMEOUT;
    if (!stop) {
        waited = WaitForSingleObject(readEvent_, limit ? waitMillis(*limit) : INFINITE);
    } else {
        // In slices, asking `stop` between them; a stop ends the wait as a limit that ran out.
        const ULONGLONG start = GetTickCount64();
        while (!stop()) {
            DWORD slice = waitMillis(kStopPollInterval);
            if (limit) {
                const ULONGLONG spent = GetTickCount64() - start;
                const auto wanted = static_cast<ULONGLONG>(std::max<Millis::rep>(limit->count(), 0));
                if (spent >= wanted) break;
                slice = static_cast<DWORD>(std::min<ULONGLONG>(slice, wanted - spent));
            }
            waited = WaitForSingleObject(readEvent_, slice);
            if (waited != WAIT_TIMEOUT) break;
        }
    }
    ReadResult result;
    if (waited == WAIT_OBJECT_0) {
        DWORD bytes = 0;
        if (GetOverlappedResult(handle_, &readOverlapped_, &bytes, FALSE)) {
            result = {ReadStatus::Completed, bytes};
        } else if (GetLastError() == ERROR_IO_INCOMPLETE) {
            result = {ReadStatus::Failed, retire(readOverlapped_)};
        } else {
            result = {ReadStatus::Failed, bytes}; // completed with an error
        }
    } else {
        // Out of time (or the wait itself failed): the driver may still write into the caller's
        // buffer, so the read is cancelled and its cancellation reaped before the caller goes on.
        const DWORD bytes = retire(readOverlapped_);
        result = {waited == WAIT_TIMEOUT ? ReadStatus::TimedOut : ReadStatus::Failed, bytes};
    }
    (void)ResetEvent(readEvent_); // whatever the outcome: a late signal never reaches the next read
    readArmed_ = false;
    return result;
}

void CyUsbPort::cancelRead() {
    if (!readArmed_) return;
    (void)retire(readOverlapped_);
    (void)ResetEvent(readEvent_);
    readArmed_ = false;
}

} // namespace kelvo
