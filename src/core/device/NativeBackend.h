#pragma once
// The route to a real scanner on this platform: the CyUSB driver on Windows, libusb elsewhere.
#include "device/DeviceBackend.h"

#include <memory>
#include <optional>
#include <string>

namespace kelvo {

struct UsbId {
    std::uint16_t vendor = 0x04b4;
    std::uint16_t product = 0x8613;
};

// "04b4:8613" -> UsbId; nothing when the text is not of that form.
std::optional<UsbId> parseUsbId(const std::string& text);

// The USB id to look for: `option` when given, else $KELVO_USB_ID, else 04b4:8613.
// Throws std::invalid_argument when the chosen text is not a USB id.
UsbId chooseUsbId(const std::optional<std::string>& option);

std::unique_ptr<DeviceBackend> makeNativeBackend(Clock& clock, UsbId id);

} // namespace kelvo
