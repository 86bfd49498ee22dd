#pragma once
// Everything a command needs to talk to a scanner: the clock, the optional trace, the route
// (the real scanner or the simulated one) and the opened device.
#include "CommandLine.h"
#include "base/Clock.h"
#include "base/WireLog.h"
#include "device/DeviceBackend.h"
#include "device/TracingPort.h"
#include "session/SimulatedScanner.h"
#include "transmission/Transmisja.h"

#include <fstream>
#include <memory>

namespace kelvo::cli {

class ScannerAccess {
public:
    // Throws ConnectError when no scanner can be reached, sim::CardError for a bad card.
    explicit ScannerAccess(const Options& options);

    TUSB_Device& device() { return *device_; }
    Clock& clock() { return *protocolClock_; }

private:
    std::unique_ptr<Clock> baseClock_;
    std::ofstream traceFile_;
    std::unique_ptr<WireLog> trace_;
    std::unique_ptr<TracingClock> tracingClock_;
    Clock* protocolClock_ = nullptr;
    std::unique_ptr<SimulatedScanner> simulated_;
    std::unique_ptr<DeviceBackend> native_;
    std::unique_ptr<TracingBackend> tracingBackend_;
    std::unique_ptr<TUSB_Device> device_;
};

// One transmission: switched on and synchronised when made, ended when it goes, on every way
// out, errors included.
class Transmission {
public:
    explicit Transmission(TUSB_Device& device);
    ~Transmission();
    TQX27R_Transmisja& operator*() { return tx_; }
    TQX27R_Transmisja* operator->() { return &tx_; }
    bool synchronised() const { return synchronised_; }

private:
    TQX27R_Transmisja tx_;
    bool synchronised_ = false;
};

} // namespace kelvo::cli
