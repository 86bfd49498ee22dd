#include "cine/CineExport.h"

#include "base/AtomicFile.h"
#include "cine/CineFrames.h"

#include <charconv>
#include <system_error>

namespace kelvo {
namespace {

std::string cineNumber(const TImageData& e) {
    return std::to_string(std::int64_t{e.ID} + 1);
}

CineVideo refused(CineVideo video, CineVideo::Outcome outcome, std::string problem) {
    video.outcome = outcome;
    video.problem = std::move(problem);
    return video;
}

} // namespace

std::optional<std::int32_t> parseRangeAnswer(const std::string& answer) {
    std::size_t begin = answer.find_first_not_of(" \t");
    std::size_t end = answer.find_last_not_of(" \t");
    if (begin == std::string::npos) return std::nullopt;
    if (answer[begin] == '+') ++begin;
    std::int32_t value = 0;
    const char* first = answer.data() + begin;
    const char* last = answer.data() + end + 1;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last) return std::nullopt;
    return value;
}

CineVideo eksportujCine(const CineJob& job, const FrameExportHooks& hooks, const CineExportSettings& settings) {
    CineVideo video;
    video.video = job.videoFolder / videoFileName(job.entry);
    const std::filesystem::path tmp = job.folder / "tmp";
    {
        std::error_code ec; // a folder that cannot be made shows when a frame is written into it
        if (!std::filesystem::is_directory(tmp, ec)) std::filesystem::create_directory(tmp, ec);
    }

    // The depth range: given, or asked for (a cancelled box takes the preset answer).
    video.zakres = job.zakres;
    if (video.zakres == 0) {
        const std::string answer = (settings.askRange ? settings.askRange() : std::nullopt).value_or(kRangePreset);
        const auto range = parseRangeAnswer(answer);
        if (!range || *range < 1)
            return refused(std::move(video), CineVideo::Outcome::RangeRefused,
                           "No video for cine " + cineNumber(job.entry) + ": the depth range \"" + answer +
                               "\" is not a whole number of millimetres above 0.");
        video.zakres = *range;
    }
    const std::optional<std::int64_t> width = szerokoscKlatki(job.pole_widzenia, video.zakres);
    video.width = width.value_or(0);
    if (!width || !szerokoscDozwolona(*width))
        return refused(std::move(video), CineVideo::Outcome::WidthRefused,
                       "Cine " + cineNumber(job.entry) + " refused: a field of view of " +
                           std::to_string(job.pole_widzenia) + " mm at a depth range of " +
                           std::to_string(video.zakres) + " mm makes frames " + std::to_string(video.width) +
                           " pixels wide, outside " + std::to_string(kMinCineFrameWidth) + " to " +
                           std::to_string(kMaxCineFrameWidth) + ". No video was made.");

    video.frames = eksportujKlatki(job.rawFile, tmp, job.entry.CF_ZAMIEN_LEWA_PRAWA, static_cast<int>(*width), hooks);
    if (video.frames.broken) {
        video.outcome = CineVideo::Outcome::Broken;
        return video;
    }
    if (video.frames.written == 0)
        return refused(std::move(video), CineVideo::Outcome::NoFrames,
                       "No video for cine " + cineNumber(job.entry) + ": \"" + pathToUtf8(job.rawFile) +
                           "\" holds fewer than two frames.");

    // The encoder reads a_cine_0, a_cine_1, ... up to the first number missing: that must be
    // the one after this cine's last frame.
    {
        std::error_code ec;
        std::filesystem::remove(frameFile(tmp, video.frames.written), ec);
    }
    EncoderSettings encoder = settings.encoder;
    if (!encoder.whileWaiting) encoder.whileWaiting = hooks.processMessages;
    video.encoder = uruchomFFmpeg(job.folder, job.videoFolder, job.entry, encoder);
    if (video.encoder->outcome == EncoderRun::Outcome::Made) {
        video.outcome = CineVideo::Outcome::Made;
        return video;
    }
    video.outcome = CineVideo::Outcome::EncoderFailed;
    video.problem = encoderProblem(*video.encoder, job.entry);
    return video;
}

} // namespace kelvo
