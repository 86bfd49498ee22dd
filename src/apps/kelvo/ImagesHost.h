#pragma once
// The image run as the command-line tool shows it: messages and failures on stderr; progress as
// a bar on a terminal (the item, the count written, the time left) or as one plain line per
// ticked image otherwise; the selection from --select, or every entry as the dialog starts.
#include "base/Clock.h"
#include "workflow/ImageWorkflow.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace kelvo::cli {

class ImagesHost final : public ImageWorkflowHost {
public:
    // `interrupted` tells whether the user has asked to stop: the selection then gives nothing
    // (as Cancel does), so that a Ctrl-C during the checks downloads nothing.
    ImagesHost(std::ostream& err, const Clock& clock, bool terminal, std::optional<std::set<std::int64_t>> numbers,
               std::function<bool()> interrupted = {});

    void status(const std::string& p_str) override;
    void message(const std::string& text) override;
    std::optional<std::vector<bool>> select(std::span<const std::unique_ptr<TImageData>> entries) override;
    void processMessages() override {}
    void imageDone(std::int32_t p_id, const TImageData& entry, const ImageDownload& result) override;

    // Clears the bar, if one is drawn.
    void finish();

    int tickedCount() const { return ticked_; }
    // "4.bmp (no answer from the scanner)" for each ticked image that left no file.
    const std::vector<std::string>& failures() const { return failures_; }

private:
    void drawBar();
    void clearBar();
    void line(const std::string& text); // a line of its own, above the bar

    std::ostream& err_;
    const Clock& clock_;
    bool terminal_;
    std::optional<std::set<std::int64_t>> numbers_;
    std::function<bool()> interrupted_;
    std::vector<bool> ticks_;
    int ticked_ = 0;
    int position_ = -1;
    int done_ = 0;
    int written_ = 0;
    std::string status_;
    std::optional<Millis> firstStart_;
    bool barDrawn_ = false;
    std::vector<std::string> failures_;
};

// Why an image left no file, as a user reads it.
std::string whyNotSaved(const ImageDownload& result);

} // namespace kelvo::cli
