#pragma once
// A transfer object on the simulated scanner, in virtual time, with the protocol's pauses
// written into the scanner's wire log next to the traffic it sees.
#include "base/Clock.h"
#include "base/WireLog.h"
#include "device/UsbLibrary.h"
#include "device/sim/SimulatorBackend.h"
#include "simulator/Scanner.h"
#include "transmission/Transmisja.h"

#include <memory>
#include <string>
#include <vector>

namespace kelvo::test {

// A small card: identity values, two image records with slot 1 empty, one cine record.
sim::Card smallCard();

struct SimulatedLink {
    explicit SimulatedLink(sim::Card card = smallCard())
        : scanner(std::move(card), clock), pacing(clock, scanner.log()), device(pacing) {
        device.aHandle = std::make_unique<SimulatorPort>(scanner, clock);
    }

    // The wire log from event `from` on, one line each, without the times.
    std::vector<std::string> wire(std::size_t from = 0) const;
    std::size_t mark() const { return scanner.log().events().size(); }
    void setFaults(const std::function<void(sim::ScannerFaults&)>& change) {
        auto f = scanner.faults();
        change(f);
        scanner.setFaults(f);
    }

    VirtualClock clock;
    sim::Scanner scanner;
    TracingClock pacing;
    TUSB_Device device;
};

// The wire lines of one command sent with no reply awaited: block, 10 ms, trailer.
std::vector<std::string> commandLines(const std::string& hex);

} // namespace kelvo::test
