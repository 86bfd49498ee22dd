#include "device/sim/SimulatorBackend.h"

#include <algorithm>

namespace kelvo {

bool SimulatorPort::writeBlock(std::span<const std::uint8_t, kBlockSize> block) {
    return scanner_.receiveBlock(block);
}

bool SimulatorPort::armRead(std::span<std::uint8_t> buffer) {
    if (isArmed_ || !scanner_.linkUp()) {
        scanner_.note("arm-failed", buffer.size());
        return false;
    }
    armed_ = buffer;
    isArmed_ = true;
    scanner_.note("arm", buffer.size());
    return true;
}

bool SimulatorPort::sleepUntilUnless(Millis when, const std::function<bool()>& stop) {
    if (!stop) {
        clock_.sleepUntil(when);
        return true;
    }
    while (true) {
        if (stop()) return false;
        if (clock_.now() >= when) return true;
        clock_.sleepUntil(std::min(when, clock_.now() + kStopPollInterval));
    }
}

ReadResult SimulatorPort::waitReadUnless(std::optional<Millis> limit, const std::function<bool()>& stop) {
    if (!isArmed_) return {ReadStatus::Failed, 0};
    const Millis deadline = limit ? clock_.now() + *limit : Millis::max();
    std::size_t got = 0;
    bool stalled = false;
    // A read ends when its buffer is full or the reply it is taking ends; a reply that ends
    // early ends the read with fewer bytes, as a short packet does.
    while (true) {
        const auto ready = scanner_.readyAt(armed_.size() - got);
        if (!ready) {
            if (!scanner_.linkUp()) break;
            if (!limit) {
                // Nothing is coming and nothing can come while the host waits: on a real scanner
                // this read would hang forever. Report it instead of hanging the simulation.
                scanner_.note("stall", armed_.size());
                stalled = true;
                break;
            }
            (void)sleepUntilUnless(deadline, stop);
            break;
        }
        if (*ready > deadline) {
            (void)sleepUntilUnless(deadline, stop);
            break;
        }
        if (!sleepUntilUnless(*ready, stop)) break;
        const auto delivery = scanner_.deliver(armed_.subspan(got));
        got += delivery.bytes;
        if (got == armed_.size() || delivery.replyEnded) {
            isArmed_ = false;
            scanner_.note("complete", got);
            return {ReadStatus::Completed, got};
        }
    }
    // Out of time or out of link: take what has arrived by now and retire the read.
    got += scanner_.deliver(armed_.subspan(got)).bytes;
    isArmed_ = false;
    if (stalled || !scanner_.linkUp()) {
        scanner_.note("fail", got);
        return {ReadStatus::Failed, got};
    }
    scanner_.note("timeout", armed_.size());
    scanner_.note("cancel", got);
    return {ReadStatus::TimedOut, got};
}

void SimulatorPort::cancelRead() {
    if (!isArmed_) return;
    isArmed_ = false;
    scanner_.note("cancel", armed_.size());
}

bool SimulatorPort::setTransferSize(const SET_TRANSFER_SIZE_INFO& info) {
    scanner_.note("transfer-size", info.TransferSize);
    return true;
}

bool SimulatorBackend::findDevice(std::string& p_path, int p_typ) {
    if (p_typ != 0) return false;
    p_path = "sim:scanner";
    return true;
}

std::unique_ptr<UsbPort> SimulatorBackend::openDevice(const std::string& p_path) {
    if (p_path != "sim:scanner") throw UsbOpenError("no simulated scanner at \"" + p_path + "\"");
    return std::make_unique<SimulatorPort>(scanner_, clock_);
}

} // namespace kelvo
