#include "ImagesHost.h"

#include "Commands.h"
#include "SelectList.h"
#include "base/AtomicFile.h"
#include "workflow/Messages.h"

#include <cstdio>

namespace kelvo::cli {
namespace {

constexpr int kBarWidth = 24;

std::string minutesSeconds(Millis t) {
    const auto s = t.count() / 1000 + (t.count() % 1000 >= 500 ? 1 : 0);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
    return text;
}

std::string bitmapName(const TImageData& entry) { return std::to_string(std::int64_t{entry.ID} + 1) + ".bmp"; }

} // namespace

std::string whyNotSaved(const ImageDownload& result) {
    switch (result.outcome) {
    case ImageDownload::Outcome::Saved: return "written";
    case ImageDownload::Outcome::NoReply: return "no answer from the scanner";
    case ImageDownload::Outcome::ShortReply:
        return "the reply ended after " + std::to_string(result.deliveredBytes) + " of " + std::to_string(kImageBytes) +
               " bytes";
    }
    return {};
}

ImagesHost::ImagesHost(std::ostream& err, const Clock& clock, bool terminal,
                       std::optional<std::set<std::int64_t>> numbers, std::function<bool()> interrupted)
    : err_(err), clock_(clock), terminal_(terminal), numbers_(std::move(numbers)), interrupted_(std::move(interrupted)) {
}

void ImagesHost::status(const std::string& p_str) {
    if (p_str == messages::kFinish) return; // the summary line says how the run ended
    status_ = p_str;
    // One status text per list position, in order: the time left counts from the first
    // ticked one.
    const auto position = static_cast<std::size_t>(++position_);
    if (!firstStart_ && position < ticks_.size() && ticks_[position]) firstStart_ = clock_.now();
    if (terminal_) drawBar();
}

void ImagesHost::message(const std::string& text) { line(forTerminal(text)); }

std::optional<std::vector<bool>> ImagesHost::select(std::span<const std::unique_ptr<TImageData>> entries) {
    if (interrupted_ && interrupted_()) return std::nullopt;
    // As the dialog starts: every row ticked.
    ticks_ = numbers_ ? ticksFor(*numbers_, entries) : std::vector<bool>(entries.size(), true);
    ticked_ = 0;
    for (bool t : ticks_) ticked_ += t ? 1 : 0;
    return ticks_;
}

void ImagesHost::imageDone(std::int32_t, const TImageData& entry, const ImageDownload& result) {
    ++done_;
    if (result.saved()) ++written_;
    else failures_.push_back(bitmapName(entry) + " (" + whyNotSaved(result) + ")");
    if (terminal_) {
        if (!result.saved()) line(status_ + ": " + bitmapName(entry) + " not written: " + whyNotSaved(result));
        drawBar();
    } else if (result.saved()) {
        line(status_ + ": " + pathToUtf8(result.file));
    } else {
        line(status_ + ": " + bitmapName(entry) + " not written: " + whyNotSaved(result));
    }
}

void ImagesHost::drawBar() {
    const Millis now = clock_.now();
    const int filled = ticked_ > 0 ? done_ * kBarWidth / ticked_ : kBarWidth;
    std::string bar = "\r" + status_ + " [" + std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " +
                      std::to_string(written_) + "/" + std::to_string(ticked_) + " written";
    if (firstStart_ && done_ > 0 && done_ < ticked_) {
        const Millis perImage = (now - *firstStart_) / done_;
        bar += ", about " + minutesSeconds(perImage * (ticked_ - done_)) + " left";
    }
    err_ << bar << "\x1b[K" << std::flush;
    barDrawn_ = true;
}

void ImagesHost::clearBar() {
    if (!barDrawn_) return;
    err_ << "\r\x1b[K";
    barDrawn_ = false;
}

void ImagesHost::line(const std::string& text) {
    const bool redraw = barDrawn_;
    clearBar();
    err_ << text << '\n' << std::flush;
    if (redraw) drawBar();
}

void ImagesHost::finish() {
    clearBar();
    err_ << std::flush;
}

} // namespace kelvo::cli
