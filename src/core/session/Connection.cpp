#include "session/Connection.h"

namespace kelvo {

std::unique_ptr<TUSB_Device> connectScanner(DeviceBackend& backend, Clock& clock) {
    if (!USB_Init_Lib(backend))
        throw ConnectError(kInitLibFailed, "the USB library of this system could not be loaded");
    std::string path;
    if (!USB_Find_Device(backend, path, kScannerInterfaceClass))
        throw ConnectError(kDeviceNotFound, "Is the scanner plugged in and switched on? To try the program without one, add --simulate.");
    auto device = std::make_unique<TUSB_Device>(clock);
    try {
        USB_Open_Device(backend, *device, path);
    } catch (const UsbOpenError& e) {
        throw ConnectError(e.what(), e.hint());
    }
    return device;
}

} // namespace kelvo
