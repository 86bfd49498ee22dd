#pragma once
// The transfer object of the run in progress, as "Break" reaches it: the main window's v_usb.
//
// The run attaches its transfer object for as long as it exists and detaches it before freeing
// it. requestBreak() may be called from any thread, and from a signal handler or a console
// control handler: it takes no lock and allocates nothing. Detaching waits until no
// requestBreak() that might still see the object is inside, so a break request never touches a
// freed transfer object.
#include "transmission/Transmisja.h"

#include <atomic>

namespace kelvo {

class RunningTransfer {
public:
    RunningTransfer() = default;
    RunningTransfer(const RunningTransfer&) = delete;
    RunningTransfer& operator=(const RunningTransfer&) = delete;

    // Sets a_break of the running transfer object. False when no run is in progress (nothing
    // is remembered for a later run).
    bool requestBreak() noexcept;
    bool running() const noexcept { return v_usb_.load() != nullptr; }

    // Attached for the object's life. One run at a time.
    class Scope {
    public:
        Scope(RunningTransfer& running, TQX27R_Transmisja& transfer);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        RunningTransfer& running_;
    };

private:
    void attach(TQX27R_Transmisja& transfer);
    void detach() noexcept;

    std::atomic<TQX27R_Transmisja*> v_usb_{nullptr};
    std::atomic<int> requestsInside_{0};
    static_assert(std::atomic<TQX27R_Transmisja*>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free);
};

} // namespace kelvo
