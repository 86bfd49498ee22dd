#pragma once
// The route to a real scanner on Windows: the Cypress CyUSB driver. SetupAPI, loaded
// at run time by name, finds the driver's interface class; the interface is opened as a file for
// overlapped I/O, and every bulk transfer on 0x02 or 0x86 is one IOCTL_ADAPT_SEND_NON_EP0_DIRECT
// request with a SINGLE_TRANSFER (CyUsbPort.h). Nothing of SetupAPI is linked at build time.
#ifndef _WIN32
#error "CyUsbBackend is the Windows route; other platforms use LibusbBackend"
#endif

#include "base/Clock.h"
#include "device/DeviceBackend.h"

#include <memory>
#include <string>

namespace kelvo {

class CyUsbBackend final : public DeviceBackend {
public:
    // The driver's waits are kernel waits on the device's events: they run in real time whatever
    // the clock; the clock is kept for the pacing that the layers above the port do.
    explicit CyUsbBackend(Clock& clock);
    ~CyUsbBackend() override;
    CyUsbBackend(const CyUsbBackend&) = delete;
    CyUsbBackend& operator=(const CyUsbBackend&) = delete;

    // LoadLibraryW("setupapi.dll") and bind the four entry points by name. The backend keeps one
    // reference to the library for its whole life, so calling again gives the same result.
    bool initLib() override;
    // The first interface (member index 0) of the class of selector `p_typ` (0: CYUSBDRV_GUID,
    // 1 and 2: the other two classes the driver knows); any other selector finds nothing.
    bool findDevice(std::string& p_path, int p_typ) override;
    // CreateFileW(path, 0xC0000003, no sharing, OPEN_EXISTING, FILE_FLAG_OVERLAPPED); throws
    // UsbOpenError ("BLAD !!!!!!!!!", with the reason in its hint) when Windows refuses.
    std::unique_ptr<UsbPort> openDevice(const std::string& p_path) override;

    Clock& clock() const { return clock_; }

    struct SetupApi; // the loaded library and its entry points

private:
    Clock& clock_;
    std::unique_ptr<SetupApi> api_;
};

} // namespace kelvo
