#pragma once
// The cine run as the command-line tool shows it: messages and failures on stderr; on a terminal
// a bar for the cines (the cine, the videos made, the time left) with one for the frames of the
// cine in hand; otherwise one plain line per ticked cine. The selection from --select, or every
// entry as the dialog starts.
#include "base/Clock.h"
#include "workflow/CineWorkflow.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace kelvo::cli {

class CinesHost final : public CineWorkflowHost {
public:
    CinesHost(std::ostream& err, const Clock& clock, bool terminal, std::optional<std::set<std::int64_t>> numbers);

    void status(const std::string& p_str) override;
    void message(const std::string& text) override;
    std::optional<std::vector<bool>> select(std::span<const std::unique_ptr<TImageData>> entries) override;
    void processMessages() override {}
    void cineDone(std::int32_t p_id, const TImageData& entry, const CineItem& result) override;

    // Clears the bar, if one is drawn.
    void finish();

    int tickedCount() const { return ticked_; }
    // "3_cine.avi (no answer from the scanner)" for each ticked cine that got no video.
    const std::vector<std::string>& failures() const { return failures_; }

private:
    void drawBar();
    void clearBar();
    void line(const std::string& text); // a line of its own, above the bar

    std::ostream& err_;
    const Clock& clock_;
    bool terminal_;
    std::optional<std::set<std::int64_t>> numbers_;
    std::vector<bool> ticks_;
    int ticked_ = 0;
    int position_ = -1;
    int done_ = 0;
    int made_ = 0;
    std::string status_;
    std::optional<std::pair<int, int>> frame_; // k and n of the last "Frame: k/n"
    std::optional<Millis> firstStart_;
    bool barDrawn_ = false;
    std::vector<std::string> failures_;
};

// Why a ticked cine got no video, as a user reads it ("written" when it did).
std::string whyNoVideo(const CineItem& item);

} // namespace kelvo::cli
