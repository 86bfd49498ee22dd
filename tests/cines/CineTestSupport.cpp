#include "CineTestSupport.h"

#include "cine/CineFrames.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kelvo::test {

namespace {

// Every frame bitmap is flushed to the disk on its way (an atomic replace): on a memory file
// system that costs nothing, so the tests' scratch folders go there where there is one.
std::filesystem::path scratchRoot() {
    std::error_code ec;
    if (const char* chosen = std::getenv("KELVO_TEST_TMP"); chosen && *chosen) return chosen;
#ifndef _WIN32
    if (std::filesystem::is_directory("/dev/shm", ec)) return "/dev/shm";
#endif
    return std::filesystem::temp_directory_path();
}

} // namespace

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path = scratchRoot() /
           ("kelvo-cine-" + std::string(info ? info->name() : "x") + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::uint8_t> movingCine(int frames, std::uint8_t base, int step) {
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(frames) * kCineFrameBytes);
    for (int k = 0; k < frames; ++k) {
        const auto frame = raw.begin() + static_cast<std::ptrdiff_t>(k) * static_cast<std::ptrdiff_t>(kCineFrameBytes);
        std::fill(frame, frame + static_cast<std::ptrdiff_t>(kCineFrameBytes), static_cast<std::uint8_t>(base + k));
        const int band = (k * step) % (kCineShownLines - 32);
        for (int line = band; line < band + 32; ++line)
            std::fill(frame + line * kCineDepthSamples, frame + (line + 1) * kCineDepthSamples, std::uint8_t{250});
    }
    return raw;
}

std::vector<std::uint8_t> cardCine(unsigned slot) {
    std::vector<std::uint8_t> raw(sim::kCineBytes);
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<std::uint8_t>((i + slot) % 251);
    return raw;
}

sim::Card cineCard(unsigned records, const std::vector<unsigned>& occupied, std::uint16_t fov,
                   const std::vector<unsigned>& silent) {
    sim::Card card;
    card.identity.field_of_view = fov;
    card.cineCatalogue.assign(records * sim::kSector, 0);
    for (unsigned slot : occupied) {
        std::uint8_t* record = card.cineCatalogue.data() + slot * sim::kSector;
        record[0] = sim::kSlotMarker & 0xFF;
        record[1] = sim::kSlotMarker >> 8;
        record[2] = 4; // word 1: depth-range code 4, 100 mm
    }
    card.cine = [silent](unsigned slot) -> std::optional<std::vector<std::uint8_t>> {
        if (std::find(silent.begin(), silent.end(), slot) != silent.end()) return std::nullopt;
        return cardCine(slot);
    };
    card.image = [](unsigned) -> std::optional<std::vector<std::uint8_t>> { return std::nullopt; };
    card.cf = sim::patternCf;
    return card;
}

platform::ProgramExit RecordingRunner::shellOpenAndWait(const std::filesystem::path& file,
                                                        const std::function<void()>&) {
    runs.push_back({pathToUtf8(file), {}});
    if (makeVideo) {
        std::string line = readText(file);
        const auto close = line.rfind('"');
        const auto open = close == std::string::npos || close == 0 ? std::string::npos : line.rfind('"', close - 1);
        if (open != std::string::npos) writeBytes(platform::pathFromUtf8(line.substr(open + 1, close - open - 1)), {0});
    }
    return answer;
}

platform::ProgramExit RecordingRunner::runAndWait(const std::filesystem::path& program,
                                                  const std::vector<std::string>& arguments,
                                                  const std::optional<std::filesystem::path>&,
                                                  const std::function<void()>&) {
    runs.push_back({pathToUtf8(program), arguments});
    if (makeVideo && !arguments.empty()) writeBytes(platform::pathFromUtf8(arguments.back()), {0});
    return answer;
}

bool haveFfmpeg() {
    return platform::findOnPath("ffmpeg") && platform::findOnPath("ffprobe");
}

} // namespace kelvo::test
