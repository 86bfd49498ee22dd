#include "session/SimulatedScanner.h"

namespace kelvo {

SimulatedScanner::SimulatedScanner(const std::optional<std::filesystem::path>& cardFolder, Clock& clock)
    : scanner_(std::make_unique<sim::Scanner>(cardFolder ? sim::loadCardFolder(*cardFolder) : sim::syntheticCard(),
                                              clock)),
      backend_(std::make_unique<SimulatorBackend>(*scanner_, clock)) {}

} // namespace kelvo
