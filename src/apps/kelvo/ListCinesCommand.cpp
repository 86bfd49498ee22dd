// kelvo list cines: the checks of a cine run, then the cine catalogue as a table instead of the
// selection dialog; nothing is downloaded.
#include "CommandArgs.h"
#include "Commands.h"
#include "ScannerAccess.h"
#include "TextColumns.h"
#include "workflow/CineWorkflow.h"

#include <algorithm>
#include <random>

namespace kelvo::cli {
namespace {

struct ScratchTarget {
    ScratchTarget() {
        path = std::filesystem::temp_directory_path() / ("kelvo-list-cines-" + std::to_string(std::random_device{}()));
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
    }
    ~ScratchTarget() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    ScratchTarget(const ScratchTarget&) = delete;
    ScratchTarget& operator=(const ScratchTarget&) = delete;
    std::filesystem::path path;
};

class ListHost final : public CineWorkflowHost {
public:
    ListHost(std::ostream& out, std::ostream& err, CodePage page) : out_(out), err_(err), page_(page) {}

    void status(const std::string&) override {}
    void message(const std::string& text) override { err_ << forTerminal(text) << '\n'; }
    void processMessages() override {}

    std::optional<std::vector<bool>> select(std::span<const std::unique_ptr<TImageData>> entries) override {
        out_ << padded("No.", 4) << padded("Time", 19) << padded("Description", 30) << padded("Depth", 6)
             << padded("Freq.", 8) << "Mirrored\n";
        for (const auto& e : entries) {
            const std::string freq = e->dajCzestotliwoscStr();
            out_ << padded(std::to_string(std::int64_t{e->ID} + 1), 4) << padded(dajCzasStr(*e), 19)
                 << padded(trimmedRight(e->dajOpisStr(page_)), 30) << padded(e->dajZakresStr() + " mm", 6)
                 << padded(freq.empty() ? "-" : freq + " MHz", 8) << (e->CF_ZAMIEN_LEWA_PRAWA ? "yes" : "no") << '\n';
        }
        if (entries.empty()) out_ << "(no cine in use)\n";
        return std::nullopt; // nothing to download
    }

private:
    std::ostream& out_;
    std::ostream& err_;
    CodePage page_;
};

} // namespace

int runListCines(const Options& options, std::ostream& out, std::ostream& err) {
    CodePage page = kDefaultCodePage;
    bool cines = false;
    CommandArgs args(options.arguments);
    while (!args.done()) {
        const std::string& a = args.next();
        if (a == "cines" && !cines)
            cines = true;
        else if (a == "--code-page")
            page = parseCodePage(args.value(a));
        else if (isOption(a))
            throw UsageError("list: unknown option " + a);
        else
            throw UsageError("list shows images or cines: kelvo list images, kelvo list cines");
    }
    if (!cines) throw UsageError("list needs what to list: kelvo list cines");

    ScannerAccess access(options);
    // The catalogue read leaves its copy in the target folder's "tmp": for a listing, a folder of
    // its own that goes afterwards, not the working folder.
    const ScratchTarget target;
    ListHost host(out, err, page);
    RunningTransfer running;
    const CineRun run = GetCines(access.device(), target.path, host, running);
    return run.end == CineRun::End::CheckFailed ? kExitFailed : kExitOk;
}

} // namespace kelvo::cli
