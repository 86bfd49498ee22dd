#pragma once
// The device layer's operations, in the order the program uses them: load the library, find the
// scanner, open it, write blocks and send commands (a command block, 10 ms, a 0xFF trailer).
#include "base/Clock.h"
#include "device/DeviceBackend.h"
#include "device/UsbPort.h"

#include <memory>
#include <string>

namespace kelvo {

// The opened scanner. `aHandle` is the open route: empty until the device has been opened.
// The clock paces the commands sent through it.
class TUSB_Device {
public:
    explicit TUSB_Device(Clock& clock) : clock_(clock) {}
    TUSB_Device(const TUSB_Device&) = delete;
    TUSB_Device& operator=(const TUSB_Device&) = delete;

    Clock& clock() const { return clock_; }

    std::unique_ptr<UsbPort> aHandle;

private:
    Clock& clock_;
};

// Selector 0 of the find: the CyUSB driver's class, {AE18AA60-7F6A-11D4-97DD-00010229B959}.
inline constexpr int kScannerInterfaceClass = 0;

bool USB_Init_Lib(DeviceBackend& backend);
bool USB_Find_Device(DeviceBackend& backend, std::string& p_path, int p_typ);
// True on success; throws UsbOpenError ("BLAD !!!!!!!!!") when the scanner cannot be opened.
bool USB_Open_Device(DeviceBackend& backend, TUSB_Device& p_device, const std::string& p_path);
bool USB_Write_Block(TUSB_Device& p_device, const TBuffer_512B& p_block);
// The command block, 10 ms, then the trailer block of 512 x 0xFF. False, and no trailer, when the
// command block could not be written; the trailer's own result is not looked at.
bool USB_Send_Command(TUSB_Device& p_device, const TBuffer_512B& p_block);
// IOCTL_ADAPT_SET_TRANSFER_SIZE {0x86, 131072}, once per download run; its result is not used
// by the workflows.
bool USB_Set_Transfer_Size(TUSB_Device& p_device);

} // namespace kelvo
