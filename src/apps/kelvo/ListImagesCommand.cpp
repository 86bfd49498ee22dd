// kelvo list images: the checks of an image run, then the catalogue as a table instead of the
// selection dialog; nothing is downloaded.
#include "CommandArgs.h"
#include "Commands.h"
#include "ScannerAccess.h"
#include "TextColumns.h"
#include "workflow/ImageWorkflow.h"

#include <algorithm>

namespace kelvo::cli {
namespace {

std::string measurementsPresent(const TImageData& e) {
    std::string text;
    for (std::size_t k = 0; k < e.g_Dane_wymiarowania.size(); ++k)
        if (e.g_Dane_wymiarowania[k].jest()) text += (text.empty() ? "" : ", ") + std::to_string(k);
    return text.empty() ? "-" : text;
}

class ListHost final : public ImageWorkflowHost {
public:
    ListHost(std::ostream& out, std::ostream& err, CodePage page) : out_(out), err_(err), page_(page) {}

    void status(const std::string&) override {}
    void message(const std::string& text) override { err_ << forTerminal(text) << '\n'; }
    void processMessages() override {}

    std::optional<std::vector<bool>> select(std::span<const std::unique_ptr<TImageData>> entries) override {
        out_ << padded("No.", 4) << padded("Time", 19) << padded("Description", 30) << padded("RFID", 12)
             << padded("Depth", 6) << padded("Freq.", 8) << "Measurements\n";
        for (const auto& e : entries) {
            const std::string freq = e->dajCzestotliwoscStr();
            out_ << padded(std::to_string(std::int64_t{e->ID} + 1), 4) << padded(dajCzasStr(*e), 19)
                 << padded(trimmedRight(e->dajOpisStr(page_)), 30) << padded(e->dajRfidStr(page_), 12)
                 << padded(e->dajZakresStr() + " mm", 6) << padded(freq.empty() ? "-" : freq + " MHz", 8)
                 << measurementsPresent(*e) << '\n';
        }
        if (entries.empty()) out_ << "(no image in use)\n";
        return std::nullopt; // nothing to download
    }

private:
    std::ostream& out_;
    std::ostream& err_;
    CodePage page_;
};

} // namespace

int runListImages(const Options& options, std::ostream& out, std::ostream& err) {
    if (std::find(options.arguments.begin(), options.arguments.end(), "cines") != options.arguments.end())
        return runListCines(options, out, err);
    CodePage page = kDefaultCodePage;
    bool images = false;
    CommandArgs args(options.arguments);
    while (!args.done()) {
        const std::string& a = args.next();
        if (a == "images" && !images) images = true;
        else if (a == "--code-page") page = parseCodePage(args.value(a));
        else if (isOption(a)) throw UsageError("list: unknown option " + a);
        else throw UsageError("list shows images or cines: kelvo list images, kelvo list cines");
    }
    if (!images) throw UsageError("list needs what to list: kelvo list images, or kelvo list cines");

    ScannerAccess access(options);
    ListHost host(out, err, page);
    RunningTransfer running;
    const ImageRun run = GetImages(access.device(), {}, host, running);
    return run.end == ImageRun::End::CheckFailed ? kExitFailed : kExitOk;
}

} // namespace kelvo::cli
