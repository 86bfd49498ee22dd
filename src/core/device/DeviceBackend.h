#pragma once
// A way of finding and opening the scanner: the CyUSB driver's interface class on Windows,
// libusb's device list elsewhere, or the simulated scanner.
#include "device/UsbPort.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace kelvo {

// Raised when a found scanner cannot be opened. what() is the system's fixed text; hint() says
// in plain words what went wrong and what to do about it.
class UsbOpenError : public std::runtime_error {
public:
    explicit UsbOpenError(std::string hint) : std::runtime_error("BLAD !!!!!!!!!"), hint_(std::move(hint)) {}
    const std::string& hint() const { return hint_; }

private:
    std::string hint_;
};

class DeviceBackend {
public:
    virtual ~DeviceBackend() = default;
    // Loads what the backend needs (SetupAPI on Windows); may be called again and again.
    virtual bool initLib() = 0;
    // True when a scanner of interface class `p_typ` (0 to 2) is present; `p_path` then names
    // the first one. `p_path` is untouched when the result is false.
    virtual bool findDevice(std::string& p_path, int p_typ) = 0;
    // Opens the scanner at `p_path`; throws UsbOpenError when it cannot.
    virtual std::unique_ptr<UsbPort> openDevice(const std::string& p_path) = 0;
};

} // namespace kelvo
