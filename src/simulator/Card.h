#pragma once
// What a simulated scanner holds: its identity, its two catalogues, the raw pictures and cines of
// its slots, its CF storage, and the faults it is to show. A card comes from a folder (the format
// is in docs/simulator-card.md) or is generated (the built-in synthetic card).
#include "base/Clock.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>
#include <vector>

namespace kelvo::sim {

inline constexpr std::size_t kSector = 512;
inline constexpr std::size_t kImageBytes = 131072;
inline constexpr std::size_t kCineBytes = 33554432;
inline constexpr std::uint64_t kCfBytes = 64ull * 1024 * 1024;
inline constexpr std::uint16_t kSlotMarker = 31415;

struct ScannerIdentity {
    std::uint16_t magic_number = 7181;
    std::uint16_t svn_version = 2013;
    std::uint16_t probe = 3;
    std::uint16_t lh = 1;
    std::uint16_t version_svn = 2013;
    std::uint16_t field_of_view = 40;
};

struct ScannerFaults {
    std::set<std::uint8_t> silentCommands;               // commands that never get a reply
    std::map<std::uint8_t, std::size_t> shortReplies;    // command -> bytes its reply stops after
    unsigned staleSectors = 2;                           // sectors waiting on 0x86 after switch-on
    unsigned drainsIgnored = 0;                          // the first k drain commands go unanswered
    std::optional<unsigned> linkLostAfterBlocks;         // the cable goes after this many blocks
    bool outEndpointStalled = false;                     // blocks on 0x02 are refused; reads still arm
    double bytesPerSecond = 32e6;                        // delivery rate on 0x86; 0 means at once
    Millis latency{1};                                   // from a command's trailer to its first byte
};

struct Card {
    ScannerIdentity identity;
    std::optional<unsigned> imageMax; // the count queries answer the catalogue's record count
    std::optional<unsigned> cineMax;  // unless these say otherwise
    std::vector<std::uint8_t> imageCatalogue; // N x 512 bytes, exactly as the scanner sends it
    std::vector<std::uint8_t> cineCatalogue;
    // The raw data of a slot, or nothing when that slot's download never answers.
    std::function<std::optional<std::vector<std::uint8_t>>(unsigned slot)> image;
    std::function<std::optional<std::vector<std::uint8_t>>(unsigned slot)> cine;
    // Fills `out` with the CF storage from byte `offset` on.
    std::function<void(std::uint64_t offset, std::span<std::uint8_t> out)> cf;
    ScannerFaults faults;

    unsigned imageCount() const { return imageMax.value_or(static_cast<unsigned>(imageCatalogue.size() / kSector)); }
    unsigned cineCount() const { return cineMax.value_or(static_cast<unsigned>(cineCatalogue.size() / kSector)); }
};

class CardError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A card folder: scanner.ini, image_opisy.bin, cine_opisy.bin, image_<slot>.raw, cine_<slot>.raw
// and optionally cf.bin. Throws CardError with a text that names the file and the problem.
Card loadCardFolder(const std::filesystem::path& folder);

// The built-in card: deterministic, with pictures that look like ultrasound.
Card syntheticCard();

// Writes a card as a folder that loadCardFolder reads back (for support engineers and tests).
void writeCardFolder(const Card& card, const std::filesystem::path& folder);

// Fills the CF storage with a pattern that tells every 64 KiB apart, when a card has no cf.bin.
void patternCf(std::uint64_t offset, std::span<std::uint8_t> out);

} // namespace kelvo::sim
