#pragma once
// The wire log: one event a line, "<ms since start> <event> <endpoint> <bytes>" and, for written
// blocks, the bytes in hex up to the last byte that is not 0xFF. The simulated scanner keeps one
// of the traffic it sees; `kelvo --trace FILE` writes the same for a real scanner.
#include "Clock.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace kelvo {

struct WireEvent {
    Millis::rep ms = 0;
    std::string kind;      // write, write-failed, arm, arm-failed, complete, timeout, cancel, fail, pause, ...
    std::string endpoint;  // "02", "86", or "--" for events without an endpoint
    std::size_t bytes = 0; // block or read length, bytes delivered, or a pause's milliseconds
    std::vector<std::uint8_t> data; // the written block, for write events

    std::string line() const;
};

// Hex of the bytes up to the last one that is not 0xFF ("FE013801" for the switch-on block).
std::string trimmedHex(std::span<const std::uint8_t> bytes);

class WireLog {
public:
    explicit WireLog(const Clock& clock);
    // Also write each event as a line to `sink` as it happens (a trace file).
    WireLog(const Clock& clock, std::ostream& sink);

    void record(std::string kind, std::string endpoint, std::size_t bytes,
                std::span<const std::uint8_t> data = {});
    std::vector<WireEvent> events() const;
    void clear();

private:
    const Clock& clock_;
    std::ostream* sink_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<WireEvent> events_;
};

// A clock that writes each sleep into a wire log as a "pause" before sleeping on the clock it wraps.
class TracingClock final : public Clock {
public:
    TracingClock(Clock& inner, WireLog& log) : inner_(inner), log_(log) {}
    Millis now() const override { return inner_.now(); }
    void sleepFor(Millis duration) override;

private:
    Clock& inner_;
    WireLog& log_;
};

} // namespace kelvo
