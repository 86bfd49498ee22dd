// kelvo images -o DIR [--select LIST]: the image run of the transfer program, with the
// selection from the command line and Ctrl-C as "Break".
#include "CommandArgs.h"
#include "Commands.h"
#include "ImagesHost.h"
#include "InterruptBreak.h"
#include "ScannerAccess.h"
#include "SelectList.h"
#include "base/AtomicFile.h"
#include "platform/Paths.h"
#include "workflow/ImageWorkflow.h"

namespace kelvo::cli {
namespace {

struct ImagesRequest {
    std::filesystem::path folder;
    std::optional<std::set<std::int64_t>> numbers;
    CodePage codePage = kDefaultCodePage;
};

ImagesRequest parseImages(const Options& options) {
    ImagesRequest request;
    bool haveFolder = false;
    CommandArgs args(options.arguments);
    while (!args.done()) {
        const std::string& a = args.next();
        if (a == "-o" || a == "--output") {
            request.folder = platform::pathFromUtf8(args.value(a));
            haveFolder = true;
        } else if (a == "--select") request.numbers = parseSelectList(args.value(a));
        else if (a == "--code-page") request.codePage = parseCodePage(args.value(a));
        else if (isOption(a)) throw UsageError("images: unknown option " + a);
        else throw UsageError("images takes no argument \"" + a + "\" (the folder goes after -o)");
    }
    if (!haveFolder || request.folder.empty()) throw UsageError("images needs the folder to write into: -o DIR");
    return request;
}

platform::AppFolders programFolders(const Options& options) {
    if (options.programFolder) return {*options.programFolder, *options.programFolder, *options.programFolder};
    return platform::AppFolders::forThisProcess();
}

std::string imagesWord(int n) { return n == 1 ? " image" : " images"; }

} // namespace

int runImages(const Options& options, std::ostream& out, std::ostream& err) {
    const ImagesRequest request = parseImages(options); // a bad list fails before the scanner is touched
    ScannerAccess access(options);
    std::string error;
    if (!platform::ensureFolder(request.folder, &error)) {
        err << "kelvo: cannot create the folder \"" << pathToUtf8(request.folder) << "\": " << error << '\n';
        return kExitFailed;
    }

    ImagesHost host(err, access.clock(), options.terminal, request.numbers,
                    [] { return InterruptBreak::interrupts() > 0; });
    ImageDownloadSettings settings;
    settings.programFolders = programFolders(options);
    settings.codePage = request.codePage;
    // Static: a Ctrl-C that comes late may still reach it.
    static RunningTransfer running;
    ImageRun run;
    try {
        const InterruptBreak interrupt(running);
        run = GetImages(access.device(), request.folder, host, running, settings);
    } catch (...) {
        host.finish();
        throw;
    }
    host.finish();

    if (run.end == ImageRun::End::CheckFailed) return kExitFailed; // its message is shown
    if (run.end == ImageRun::End::Cancelled) {
        err << "Interrupted before any image was downloaded; the transmission was ended.\n";
        return kExitInterrupted;
    }
    const std::string where = "\"" + pathToUtf8(request.folder) + "\"";
    if (run.entries == 0) {
        out << "The scanner holds no image in use: nothing written to " << where << '\n';
        return kExitOk;
    }
    if (!host.failures().empty()) {
        err << "Not written:";
        for (std::size_t i = 0; i < host.failures().size(); ++i) err << (i ? ", " : " ") << host.failures()[i];
        err << '\n';
    }
    if (run.end == ImageRun::End::Broken)
        err << "Interrupted: " << run.saved << " of " << host.tickedCount() << imagesWord(host.tickedCount())
            << " written; the transmission was ended.\n";
    if (run.saved == host.tickedCount())
        out << "Wrote " << run.saved << imagesWord(run.saved) << " to " << where << '\n';
    else
        out << "Wrote " << run.saved << " of " << host.tickedCount() << imagesWord(host.tickedCount()) << " to "
            << where << '\n';
    if (run.end == ImageRun::End::Broken) return kExitInterrupted;
    return host.failures().empty() ? kExitOk : kExitFailed;
}

} // namespace kelvo::cli
