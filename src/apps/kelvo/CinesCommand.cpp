// kelvo cines -o DIR [--select LIST]: the cine run of the transfer program, with the selection
// from the command line and Ctrl-C as "Break".
#include "CinesHost.h"
#include "CommandArgs.h"
#include "Commands.h"
#include "InterruptBreak.h"
#include "ScannerAccess.h"
#include "SelectList.h"
#include "base/AtomicFile.h"
#include "platform/Paths.h"
#include "workflow/CineWorkflow.h"

namespace kelvo::cli {
namespace {

struct CinesRequest {
    std::filesystem::path folder;
    std::optional<std::set<std::int64_t>> numbers;
};

CinesRequest parseCines(const Options& options) {
    CinesRequest request;
    bool haveFolder = false;
    CommandArgs args(options.arguments);
    while (!args.done()) {
        const std::string& a = args.next();
        if (a == "-o" || a == "--output") {
            request.folder = platform::pathFromUtf8(args.value(a));
            haveFolder = true;
        } else if (a == "--select")
            request.numbers = parseSelectList(args.value(a));
        else if (isOption(a))
            throw UsageError("cines: unknown option " + a);
        else
            throw UsageError("cines takes no argument \"" + a + "\" (the folder goes after -o)");
    }
    if (!haveFolder || request.folder.empty()) throw UsageError("cines needs the folder to write into: -o DIR");
    return request;
}

std::string videosWord(int n) {
    return n == 1 ? " video" : " videos";
}

} // namespace

CineExportSettings cineExportSettings(const Options& options) {
    CineExportSettings settings;
    if (options.programFolder)
        settings.encoder.programFolders =
            platform::AppFolders{*options.programFolder, *options.programFolder, *options.programFolder};
    return settings;
}

int runCines(const Options& options, std::ostream& out, std::ostream& err) {
    const CinesRequest request = parseCines(options); // a bad list fails before the scanner is touched
    ScannerAccess access(options);
    std::string error;
    if (!platform::ensureFolder(request.folder, &error)) {
        err << "kelvo: cannot create the folder \"" << pathToUtf8(request.folder) << "\": " << error << '\n';
        return kExitFailed;
    }

    CinesHost host(err, access.clock(), options.terminal, request.numbers);
    // Static: a Ctrl-C that comes late may still reach it.
    static RunningTransfer running;
    CineRun run;
    try {
        const InterruptBreak interrupt(running);
        run = GetCines(access.device(), request.folder, host, running, cineExportSettings(options));
    } catch (...) {
        host.finish();
        throw;
    }
    host.finish();

    if (run.end == CineRun::End::CheckFailed) return kExitFailed; // its message is shown
    const std::string where = "\"" + pathToUtf8(request.folder) + "\"";
    if (run.entries == 0) {
        out << "The scanner holds no cine in use: nothing written to " << where << '\n';
        return kExitOk;
    }
    if (!host.failures().empty()) {
        err << "Not written:";
        for (std::size_t i = 0; i < host.failures().size(); ++i)
            err << (i ? ", " : " ") << host.failures()[i];
        err << '\n';
    }
    if (run.end == CineRun::End::Broken)
        err << "Interrupted: " << run.videos << " of " << host.tickedCount() << videosWord(host.tickedCount())
            << " written; the transmission was ended.\n";
    if (run.videos == host.tickedCount())
        out << "Wrote " << run.videos << videosWord(run.videos) << " to " << where << " (raw cines and frames in "
            << "\"" << pathToUtf8(request.folder / "tmp") << "\")\n";
    else
        out << "Wrote " << run.videos << " of " << host.tickedCount() << videosWord(host.tickedCount()) << " to "
            << where << '\n';
    if (run.end == CineRun::End::Broken) return kExitInterrupted;
    return host.failures().empty() ? kExitOk : kExitFailed;
}

} // namespace kelvo::cli
