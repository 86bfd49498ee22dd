#include "ScannerAccess.h"

#include "device/NativeBackend.h"
#include "session/Connection.h"

#include <stdexcept>

namespace kelvo::cli {

ScannerAccess::ScannerAccess(const Options& options) {
    if (options.virtualTime) baseClock_ = std::make_unique<VirtualClock>();
    else baseClock_ = std::make_unique<RealClock>();
    protocolClock_ = baseClock_.get();
    if (options.trace) {
        traceFile_.open(*options.trace, std::ios::out | std::ios::trunc);
        if (!traceFile_) throw std::runtime_error("Cannot create the trace file \"" + options.trace->string() + "\"");
        trace_ = std::make_unique<WireLog>(*baseClock_, traceFile_);
        tracingClock_ = std::make_unique<TracingClock>(*baseClock_, *trace_);
        protocolClock_ = tracingClock_.get();
    }
    DeviceBackend* backend = nullptr;
    if (options.simulate) {
        // The simulated scanner's own waits run on the plain clock: only the protocol's pauses
        // belong in the trace.
        simulated_ = std::make_unique<SimulatedScanner>(options.card, *baseClock_);
        backend = &simulated_->backend();
    } else {
        native_ = makeNativeBackend(*baseClock_, chooseUsbId(options.usbId));
        backend = native_.get();
    }
    if (trace_) {
        tracingBackend_ = std::make_unique<TracingBackend>(*backend, *trace_);
        backend = tracingBackend_.get();
    }
    device_ = connectScanner(*backend, *protocolClock_);
}

Transmission::Transmission(TUSB_Device& device) : tx_(device) {
    tx_.WlaczTransmisjeUSB();
    synchronised_ = tx_.synchronizuj();
}

Transmission::~Transmission() { tx_.zakoncz_transmisje(); }

} // namespace kelvo::cli
