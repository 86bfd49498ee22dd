#include "device/TracingPort.h"

namespace kelvo {

bool TracingPort::writeBlock(std::span<const std::uint8_t, kBlockSize> block) {
    const bool ok = inner_->writeBlock(block);
    log_.record(ok ? "write" : "write-failed", "02", block.size(), block);
    return ok;
}

bool TracingPort::armRead(std::span<std::uint8_t> buffer) {
    const bool ok = inner_->armRead(buffer);
    armed_ = buffer.size();
    log_.record(ok ? "arm" : "arm-failed", "86", buffer.size());
    return ok;
}

ReadResult TracingPort::waitRead(std::optional<Millis> limit) { return recorded(inner_->waitRead(limit)); }

ReadResult TracingPort::waitReadUnless(std::optional<Millis> limit, const std::function<bool()>& stop) {
    return recorded(inner_->waitReadUnless(limit, stop));
}

ReadResult TracingPort::recorded(const ReadResult& result) {
    switch (result.status) {
    case ReadStatus::Completed: log_.record("complete", "86", result.bytes); break;
    case ReadStatus::TimedOut:
        log_.record("timeout", "86", armed_);
        log_.record("cancel", "86", result.bytes);
        break;
    case ReadStatus::Failed: log_.record("fail", "86", result.bytes); break;
    }
    return result;
}

void TracingPort::cancelRead() {
    inner_->cancelRead();
    log_.record("cancel", "86", armed_);
}

bool TracingPort::setTransferSize(const SET_TRANSFER_SIZE_INFO& info) {
    const bool ok = inner_->setTransferSize(info);
    log_.record(ok ? "transfer-size" : "transfer-size-failed", "86", info.TransferSize);
    return ok;
}

} // namespace kelvo
