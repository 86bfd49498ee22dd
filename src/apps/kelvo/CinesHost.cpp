#include "CinesHost.h"

#include "Commands.h"
#include "SelectList.h"
#include "base/AtomicFile.h"
#include "cine/VideoEncoder.h"
#include "workflow/Messages.h"

#include <cstdio>

namespace kelvo::cli {
namespace {

constexpr int kBarWidth = 20;
constexpr int kFrameBarWidth = 12;

std::string bar(int done, int total, int width) {
    const int filled = total > 0 ? std::min(done, total) * width / total : width;
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(width - filled), '.') + "]";
}

std::string minutesSeconds(Millis t) {
    const auto s = t.count() / 1000 + (t.count() % 1000 >= 500 ? 1 : 0);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
    return text;
}

// "Frame: k/n" as the frame export sends it.
std::optional<std::pair<int, int>> frameOf(const std::string& p_str) {
    int k = 0, n = 0, used = 0;
    if (std::sscanf(p_str.c_str(), "Frame: %d/%d%n", &k, &n, &used) != 2 ||
        static_cast<std::size_t>(used) != p_str.size())
        return std::nullopt;
    return std::make_pair(k, n);
}

} // namespace

std::string whyNoVideo(const CineItem& item) {
    switch (item.download.outcome) {
    case CineDownload::Outcome::NoReply: return "no answer from the scanner";
    case CineDownload::Outcome::Broken: return "interrupted while it was arriving";
    case CineDownload::Outcome::Complete:
    case CineDownload::Outcome::ShortReply: break;
    }
    if (!item.video) return "not stored";
    const CineVideo& v = *item.video;
    switch (v.outcome) {
    case CineVideo::Outcome::Made: return "written";
    case CineVideo::Outcome::Broken:
        return "interrupted after " + std::to_string(v.frames.written) + " of " +
               std::to_string(std::max(v.frames.rawFrames - 1, 0)) + " frames";
    case CineVideo::Outcome::RangeRefused: return "no depth range";
    case CineVideo::Outcome::WidthRefused: return "frame width " + std::to_string(v.width) + " refused";
    case CineVideo::Outcome::NoFrames: return "no frames";
    case CineVideo::Outcome::EncoderFailed:
        if (v.encoder && v.encoder->outcome == EncoderRun::Outcome::Missing) return "no encoder";
        if (v.encoder && v.encoder->outcome == EncoderRun::Outcome::NotStarted) return "the encoder did not start";
        return "the encoder failed";
    }
    return {};
}

CinesHost::CinesHost(std::ostream& err, const Clock& clock, bool terminal,
                     std::optional<std::set<std::int64_t>> numbers)
    : err_(err), clock_(clock), terminal_(terminal), numbers_(std::move(numbers)) {}

void CinesHost::status(const std::string& p_str) {
    if (p_str == messages::kFinish) return; // the summary line says how the run ended
    if (const auto frame = frameOf(p_str)) {
        frame_ = frame;
        if (terminal_) drawBar();
        return;
    }
    if (!p_str.starts_with("Cine ")) {
        line(p_str); // a warning of the transfer object
        return;
    }
    status_ = p_str;
    frame_.reset();
    const auto position = static_cast<std::size_t>(++position_);
    if (!firstStart_ && position < ticks_.size() && ticks_[position]) firstStart_ = clock_.now();
    if (terminal_) drawBar();
}

void CinesHost::message(const std::string& text) {
    line(forTerminal(text));
}

std::optional<std::vector<bool>> CinesHost::select(std::span<const std::unique_ptr<TImageData>> entries) {
    ticks_ = numbers_ ? ticksFor(*numbers_, entries) : std::vector<bool>(entries.size(), true);
    ticked_ = 0;
    for (bool t : ticks_)
        ticked_ += t ? 1 : 0;
    return ticks_;
}

void CinesHost::cineDone(std::int32_t, const TImageData& entry, const CineItem& result) {
    ++done_;
    frame_.reset();
    const std::string name = videoFileName(entry);
    if (result.made()) {
        ++made_;
        if (!terminal_) line(status_ + ": " + pathToUtf8(result.video->video));
    } else {
        failures_.push_back(name + " (" + whyNoVideo(result) + ")");
        line(status_ + ": " + name + " not written: " + whyNoVideo(result));
    }
    if (terminal_) drawBar();
}

void CinesHost::drawBar() {
    std::string text = "\r" + status_ + " " + bar(done_, ticked_, kBarWidth) + " " + std::to_string(made_) + "/" +
                       std::to_string(ticked_) + (ticked_ == 1 ? " video" : " videos");
    if (frame_) {
        const int total = std::max(frame_->second - 1, 1);
        text += ", frame " + std::to_string(frame_->first + 1) + "/" + std::to_string(total) + " " +
                bar(frame_->first + 1, total, kFrameBarWidth);
    }
    if (firstStart_ && done_ > 0 && done_ < ticked_) {
        const Millis perCine = (clock_.now() - *firstStart_) / done_;
        text += ", about " + minutesSeconds(perCine * (ticked_ - done_)) + " left";
    }
    err_ << text << "\x1b[K" << std::flush;
    barDrawn_ = true;
}

void CinesHost::clearBar() {
    if (!barDrawn_) return;
    err_ << "\r\x1b[K";
    barDrawn_ = false;
}

void CinesHost::line(const std::string& text) {
    const bool redraw = barDrawn_;
    clearBar();
    err_ << text << '\n' << std::flush;
    if (redraw) drawBar();
}

void CinesHost::finish() {
    clearBar();
    err_ << std::flush;
}

} // namespace kelvo::cli
