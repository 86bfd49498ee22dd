#pragma once
// Helpers of the cine tests: scratch folders, raw cines that show what frame they are,
// cards with cine slots, and a program runner that remembers instead of running.
#include "imaging/Bitmap.h"
#include "platform/ProgramRun.h"
#include "simulator/Card.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kelvo::test {

struct ScratchFolder {
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::filesystem::path path;
};

void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readBytes(const std::filesystem::path& file);
std::string readText(const std::filesystem::path& file);

// A raw cine of `frames` raw frames: every sample of frame k is `base` + k (mod 256), except a
// white band of scan lines that moves by `step` lines per frame, so that the loop visibly moves.
std::vector<std::uint8_t> movingCine(int frames, std::uint8_t base = 40, int step = 3);

// A card whose cine catalogue has `records` slots, those in `occupied` in use with depth-range
// code 4 (100 mm); slot s answers with a full cine whose bytes are (i + s) mod 251, except slots
// in `silent`, which are never answered. Field of view `fov`. Images: none.
sim::Card cineCard(unsigned records, const std::vector<unsigned>& occupied, std::uint16_t fov = 40,
                   const std::vector<unsigned>& silent = {});
// The bytes of slot s of cineCard.
std::vector<std::uint8_t> cardCine(unsigned slot);

// Remembers each run and answers with a chosen exit, without running anything.
class RecordingRunner final : public platform::ProgramRunner {
public:
    platform::ProgramExit shellOpenAndWait(const std::filesystem::path& file,
                                           const std::function<void()>& whileWaiting) override;
    platform::ProgramExit runAndWait(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                                     const std::optional<std::filesystem::path>& output,
                                     const std::function<void()>& whileWaiting) override;

    struct Run {
        std::string program; // or the file the shell opened
        std::vector<std::string> arguments;
    };
    std::vector<Run> runs;
    platform::ProgramExit answer{platform::ProgramExit::End::Exited, 0};
    // Writes a small file where the encoder would write the video (the last argument, or the
    // last quoted path of the batch line), as an encoder that worked leaves one.
    bool makeVideo = false;
};

// Whether ffmpeg and ffprobe are on PATH (the tests of the real encoder skip without them).
bool haveFfmpeg();

} // namespace kelvo::test
