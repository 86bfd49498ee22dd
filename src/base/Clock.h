#pragma once
// Every sleep and wait of the scanner protocol goes through a Clock, so that tests can run the
// protocol's pacing in virtual time and assert it.
#include <atomic>
#include <chrono>

namespace kelvo {

using Millis = std::chrono::milliseconds;

class Clock {
public:
    virtual ~Clock() = default;
    // Time since the clock's start.
    virtual Millis now() const = 0;
    virtual void sleepFor(Millis duration) = 0;
    void sleepUntil(Millis when);
};

// Wall time, measured on the steady clock from construction.
class RealClock final : public Clock {
public:
    RealClock();
    Millis now() const override;
    void sleepFor(Millis duration) override;

private:
    std::chrono::steady_clock::time_point start_;
};

// Time that moves only when someone sleeps: a 500 ms pause costs nothing.
class VirtualClock final : public Clock {
public:
    Millis now() const override { return Millis{now_.load()}; }
    void sleepFor(Millis duration) override;
    void advance(Millis duration) { sleepFor(duration); }

private:
    std::atomic<Millis::rep> now_{0};
};

} // namespace kelvo
