#include "workflow/RunningTransfer.h"

#include <stdexcept>
#include <thread>

namespace kelvo {

bool RunningTransfer::requestBreak() noexcept {
    // Counted in before the object is looked at: detach() either sees the count or has already
    // cleared the pointer that is loaded here (both sequentially consistent).
    requestsInside_.fetch_add(1);
    TQX27R_Transmisja* transfer = v_usb_.load();
    if (transfer) transfer->a_break.store(true);
    requestsInside_.fetch_sub(1);
    return transfer != nullptr;
}

void RunningTransfer::attach(TQX27R_Transmisja& transfer) {
    TQX27R_Transmisja* none = nullptr;
    if (!v_usb_.compare_exchange_strong(none, &transfer)) throw std::logic_error("a run is already in progress");
}

void RunningTransfer::detach() noexcept {
    v_usb_.store(nullptr);
    // A request on another thread may still hold the old pointer for a few instructions. A
    // request on this thread (a signal handler) cannot be waited for here, but it never is
    // inside: it runs to its end before this thread goes on.
    while (requestsInside_.load() != 0) std::this_thread::yield();
}

RunningTransfer::Scope::Scope(RunningTransfer& running, TQX27R_Transmisja& transfer) : running_(running) {
    running_.attach(transfer);
}

RunningTransfer::Scope::~Scope() { running_.detach(); }

} // namespace kelvo
