#include "device/NativeBackend.h"

#include <cstdlib>
#include <stdexcept>

#ifdef _WIN32
#include "device/cyusb/CyUsbBackend.h"
#else
#include "device/libusb/LibusbBackend.h"
#endif

namespace kelvo {

std::optional<UsbId> parseUsbId(const std::string& text) {
    if (text.size() != 9 || text[4] != ':') return std::nullopt;
    auto hex = [](const std::string& part) -> std::optional<std::uint16_t> {
        unsigned value = 0;
        for (char c : part) {
            value <<= 4;
            if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
            else return std::nullopt;
        }
        return static_cast<std::uint16_t>(value);
    };
    const auto vendor = hex(text.substr(0, 4));
    const auto product = hex(text.substr(5, 4));
    if (!vendor || !product) return std::nullopt;
    return UsbId{*vendor, *product};
}

UsbId chooseUsbId(const std::optional<std::string>& option) {
    std::optional<std::string> text = option;
    if (!text) {
        if (const char* env = std::getenv("KELVO_USB_ID"); env && *env) text = env;
    }
    if (!text) return UsbId{};
    const auto id = parseUsbId(*text);
    if (!id) throw std::invalid_argument("\"" + *text + "\" is not a USB id of the form 04b4:8613");
    return *id;
}

std::unique_ptr<DeviceBackend> makeNativeBackend(Clock& clock, UsbId id) {
#ifdef _WIN32
    (void)id; // the CyUSB driver is bound to the scanner by its .inf; its interface class finds it
    return std::make_unique<CyUsbBackend>(clock);
#else
    return std::make_unique<LibusbBackend>(clock, id);
#endif
}

} // namespace kelvo
