// kelvo cine2avi RAW -o DIR --fov N --range MM [--mirror] [--id N]: a raw cine file made into
// frame bitmaps and a video as a cine run makes them, without a scanner. For support (a
// customer's tmp\cine_N.bin) and tests.
#include "CommandArgs.h"
#include "Commands.h"
#include "InterruptBreak.h"
#include "base/AtomicFile.h"
#include "cine/FrameExport.h"
#include "platform/Paths.h"
#include "transmission/Transmisja.h"
#include "workflow/RunningTransfer.h"

#include <cstdio>
#include <regex>

namespace kelvo::cli {
namespace {

struct Cine2AviRequest {
    std::filesystem::path raw;
    std::filesystem::path folder;
    std::int32_t fov = 0;
    std::int32_t range = 0;
    TImageData entry;
};

// The number N of a raw file named as a run names it, "cine_N.bin".
std::optional<std::int32_t> numberInName(const std::filesystem::path& raw) {
    static const std::regex name("cine_([1-9][0-9]{0,4})\\.bin");
    std::smatch m;
    const std::string file = raw.filename().string();
    if (!std::regex_match(file, m, name)) return std::nullopt;
    const long n = std::stol(m[1].str());
    if (n > 65536) return std::nullopt;
    return static_cast<std::int32_t>(n);
}

Cine2AviRequest parseCine2Avi(const Options& options) {
    Cine2AviRequest r;
    bool haveRaw = false, haveFolder = false, haveFov = false, haveRange = false;
    std::optional<std::int32_t> id;
    CommandArgs args(options.arguments);
    auto number = [&](const std::string& a, std::int64_t min, std::int64_t max) {
        return static_cast<std::int32_t>(parseNumber(args.value(a), a, min, max));
    };
    while (!args.done()) {
        const std::string& a = args.next();
        if (a == "-o" || a == "--output") {
            r.folder = platform::pathFromUtf8(args.value(a));
            haveFolder = true;
        } else if (a == "--fov") {
            r.fov = number(a, 0, 65535);
            haveFov = true;
        } else if (a == "--range") {
            r.range = number(a, 1, 65535);
            haveRange = true;
        } else if (a == "--mirror")
            r.entry.CF_ZAMIEN_LEWA_PRAWA = true;
        else if (a == "--id")
            id = number(a, 1, 65536);
        else if (isOption(a))
            throw UsageError("cine2avi: unknown option " + a);
        else if (!haveRaw) {
            r.raw = platform::pathFromUtf8(a);
            haveRaw = true;
        } else
            throw UsageError("cine2avi takes one RAW file");
    }
    if (!haveRaw) throw UsageError("cine2avi needs the RAW cine file");
    if (!haveFolder || r.folder.empty()) throw UsageError("cine2avi needs the folder to write into: -o DIR");
    if (!haveFov) throw UsageError("cine2avi needs the scanner's field of view: --fov MM");
    if (!haveRange) throw UsageError("cine2avi needs the cine's depth range: --range MM");
    r.entry.ID = id.value_or(numberInName(r.raw).value_or(1)) - 1;
    return r;
}

} // namespace

int runCine2Avi(const Options& options, std::ostream& out, std::ostream& err) {
    const Cine2AviRequest r = parseCine2Avi(options);
    std::string error;
    if (!platform::ensureFolder(r.folder, &error)) {
        err << "kelvo: cannot create the folder \"" << pathToUtf8(r.folder) << "\": " << error << '\n';
        return kExitFailed;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(r.raw, ec)) {
        err << "kelvo: cannot read \"" << pathToUtf8(r.raw) << "\"\n";
        return kExitFailed;
    }

    // The transfer object of a run, without a scanner: its export, break flag and status event.
    RealClock clock;
    TUSB_Device device(clock);
    TQX27R_Transmisja tx(device);
    tx.a_folder = r.folder;
    tx.a_pole_widzenia = r.fov;
    bool barDrawn = false;
    if (options.terminal)
        tx.a_EventUpdateSTR = [&](TQX27R_Transmisja&, const std::string& p_str) {
            err << "\r" << p_str << "\x1b[K" << std::flush;
            barDrawn = true;
        };

    static RunningTransfer running; // a late Ctrl-C may still reach it
    CineVideo video;
    {
        const RunningTransfer::Scope attached(running, tx);
        const InterruptBreak interrupt(running);
        video = tx.Cine2AVI(r.folder, r.raw, r.range, r.entry, cineExportSettings(options));
    }
    if (barDrawn) err << "\r\x1b[K" << std::flush;

    const std::string frames =
        std::to_string(video.frames.written) + (video.frames.written == 1 ? " frame" : " frames");
    const std::string tmp = "\"" + pathToUtf8(r.folder / "tmp") + "\"";
    switch (video.outcome) {
    case CineVideo::Outcome::Made:
        out << "Wrote " << frames << " (" << video.width << " x 288) to " << tmp << " and the video \""
            << pathToUtf8(video.video) << "\"\n";
        return kExitOk;
    case CineVideo::Outcome::Broken:
        err << "Interrupted: " << frames << " written to " << tmp << "; no video.\n";
        return kExitInterrupted;
    default:
        err << "kelvo: " << video.problem << '\n';
        if (video.frames.written > 0) err << frames << " written to " << tmp << ".\n";
        return kExitFailed;
    }
}

} // namespace kelvo::cli
