#include "SimulatedLink.h"

namespace kelvo::test {

sim::Card smallCard() {
    sim::Card card;
    card.identity.magic_number = 7181;
    card.identity.svn_version = 1900;
    card.identity.probe = 1;
    card.identity.lh = 2;
    card.identity.version_svn = 3;
    card.identity.field_of_view = 42;
    card.imageCatalogue.assign(3 * sim::kSector, 0);
    for (std::size_t slot : {0u, 2u}) {
        card.imageCatalogue[slot * sim::kSector] = sim::kSlotMarker & 0xFF;
        card.imageCatalogue[slot * sim::kSector + 1] = sim::kSlotMarker >> 8;
    }
    card.cineCatalogue.assign(sim::kSector, 0);
    card.cineCatalogue[0] = sim::kSlotMarker & 0xFF;
    card.cineCatalogue[1] = sim::kSlotMarker >> 8;
    card.image = [](unsigned slot) -> std::optional<std::vector<std::uint8_t>> {
        if (slot == 1) return std::nullopt;
        return std::vector<std::uint8_t>(sim::kImageBytes, static_cast<std::uint8_t>(slot + 1));
    };
    card.cine = [](unsigned) -> std::optional<std::vector<std::uint8_t>> { return std::nullopt; };
    card.cf = sim::patternCf;
    return card;
}

std::vector<std::string> SimulatedLink::wire(std::size_t from) const {
    std::vector<std::string> lines;
    const auto events = scanner.log().events();
    for (std::size_t i = from; i < events.size(); ++i) {
        const std::string line = events[i].line();
        lines.push_back(line.substr(line.find(' ') + 1));
    }
    return lines;
}

std::vector<std::string> commandLines(const std::string& hex) {
    return {"write 02 512 " + hex, "pause -- 10", "write 02 512"};
}

} // namespace kelvo::test
