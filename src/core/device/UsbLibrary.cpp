#include "device/UsbLibrary.h"

namespace kelvo {

bool USB_Init_Lib(DeviceBackend& backend) { return backend.initLib(); }

bool USB_Find_Device(DeviceBackend& backend, std::string& p_path, int p_typ) {
    if (p_typ < 0 || p_typ > 2) return false;
    return backend.findDevice(p_path, p_typ);
}

bool USB_Open_Device(DeviceBackend& backend, TUSB_Device& p_device, const std::string& p_path) {
    p_device.aHandle.reset();
    p_device.aHandle = backend.openDevice(p_path);
    if (!p_device.aHandle) throw UsbOpenError("the scanner could not be opened");
    return true;
}

bool USB_Write_Block(TUSB_Device& p_device, const TBuffer_512B& p_block) {
    if (!p_device.aHandle) return false;
    const TBuffer_512B copy = p_block; // the request works on a block of its own
    return p_device.aHandle->writeBlock(copy);
}

bool USB_Send_Command(TUSB_Device& p_device, const TBuffer_512B& p_block) {
    if (!USB_Write_Block(p_device, p_block)) return false;
    p_device.clock().sleepFor(Millis{10});
    TBuffer_512B trailer;
    trailer.fill(0xFF);
    (void)USB_Write_Block(p_device, trailer);
    return true;
}

bool USB_Set_Transfer_Size(TUSB_Device& p_device) {
    if (!p_device.aHandle) return false;
    return p_device.aHandle->setTransferSize(kReplyTransferSize);
}

} // namespace kelvo
