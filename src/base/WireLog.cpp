#include "WireLog.h"

#include <cstdio>

namespace kelvo {

std::string trimmedHex(std::span<const std::uint8_t> bytes) {
    std::size_t end = bytes.size();
    while (end > 0 && bytes[end - 1] == 0xFF) --end;
    std::string out;
    out.reserve(end * 2);
    static constexpr char digits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < end; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0x0F]);
    }
    return out;
}

std::string WireEvent::line() const {
    std::string out = std::to_string(ms) + ' ' + kind + ' ' + endpoint + ' ' + std::to_string(bytes);
    if (!data.empty()) {
        const std::string hex = trimmedHex(data);
        if (!hex.empty()) out += ' ' + hex;
    }
    return out;
}

WireLog::WireLog(const Clock& clock) : clock_(clock) {}
WireLog::WireLog(const Clock& clock, std::ostream& sink) : clock_(clock), sink_(&sink) {}

void WireLog::record(std::string kind, std::string endpoint, std::size_t bytes,
                     std::span<const std::uint8_t> data) {
    WireEvent event{clock_.now().count(), std::move(kind), std::move(endpoint), bytes,
                    std::vector<std::uint8_t>(data.begin(), data.end())};
    std::lock_guard lock(mutex_);
    if (sink_) *sink_ << event.line() << '\n' << std::flush;
    events_.push_back(std::move(event));
}

std::vector<WireEvent> WireLog::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

void WireLog::clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
}

void TracingClock::sleepFor(Millis duration) {
    log_.record("pause", "--", static_cast<std::size_t>(duration.count()));
    inner_.sleepFor(duration);
}

} // namespace kelvo
