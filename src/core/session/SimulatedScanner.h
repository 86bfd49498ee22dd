#pragma once
// A simulated scanner to run the program against: a card folder or the built-in card, served
// through the in-process route.
#include "device/sim/SimulatorBackend.h"
#include "simulator/Scanner.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace kelvo {

class SimulatedScanner {
public:
    // Throws sim::CardError when the card folder cannot be read.
    SimulatedScanner(const std::optional<std::filesystem::path>& cardFolder, Clock& clock);

    sim::Scanner& scanner() { return *scanner_; }
    DeviceBackend& backend() { return *backend_; }

private:
    std::unique_ptr<sim::Scanner> scanner_;
    std::unique_ptr<SimulatorBackend> backend_;
};

} // namespace kelvo
