#pragma once
// Finding and opening the scanner, as the transfer program does at each connection attempt:
// load the library, look for the scanner, open the first one found.
#include "device/DeviceBackend.h"
#include "device/UsbLibrary.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace kelvo {

class ConnectError : public std::runtime_error {
public:
    ConnectError(const std::string& message, std::string hint)
        : std::runtime_error(message), hint_(std::move(hint)) {}
    const std::string& hint() const { return hint_; }

private:
    std::string hint_;
};

inline constexpr const char* kInitLibFailed = "Function _USB_Init_Lib return FALSE!";
inline constexpr const char* kDeviceNotFound = "Device not found !";

// The opened scanner. Throws ConnectError: kInitLibFailed, kDeviceNotFound, or the open's
// "BLAD !!!!!!!!!" with a hint that says what to do.
std::unique_ptr<TUSB_Device> connectScanner(DeviceBackend& backend, Clock& clock);

} // namespace kelvo
