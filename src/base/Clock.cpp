#include "Clock.h"

#include <thread>

namespace kelvo {

void Clock::sleepUntil(Millis when) {
    const Millis current = now();
    if (when > current) sleepFor(when - current);
}

RealClock::RealClock() : start_(std::chrono::steady_clock::now()) {}

Millis RealClock::now() const {
    return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start_);
}

void RealClock::sleepFor(Millis duration) {
    if (duration.count() > 0) std::this_thread::sleep_for(duration);
}

void VirtualClock::sleepFor(Millis duration) {
    if (duration.count() > 0) now_.fetch_add(duration.count());
}

} // namespace kelvo
