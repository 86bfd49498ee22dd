#pragma once
// Wraps a route so that every block written and every read armed, completed, timed out or
// cancelled lands in a wire log: `kelvo --trace FILE`.
#include "base/WireLog.h"
#include "device/DeviceBackend.h"

#include <memory>

namespace kelvo {

class TracingPort final : public UsbPort {
public:
    TracingPort(std::unique_ptr<UsbPort> inner, WireLog& log) : inner_(std::move(inner)), log_(log) {}

    bool writeBlock(std::span<const std::uint8_t, kBlockSize> block) override;
    bool armRead(std::span<std::uint8_t> buffer) override;
    ReadResult waitRead(std::optional<Millis> limit) override;
    ReadResult waitReadUnless(std::optional<Millis> limit, const std::function<bool()>& stop) override;
    void cancelRead() override;
    bool setTransferSize(const SET_TRANSFER_SIZE_INFO& info) override;

private:
    ReadResult recorded(const ReadResult& result);

    std::unique_ptr<UsbPort> inner_;
    WireLog& log_;
    std::size_t armed_ = 0;
};

// Wraps a backend so that the ports it opens are traced.
class TracingBackend final : public DeviceBackend {
public:
    TracingBackend(DeviceBackend& inner, WireLog& log) : inner_(inner), log_(log) {}
    bool initLib() override { return inner_.initLib(); }
    bool findDevice(std::string& p_path, int p_typ) override { return inner_.findDevice(p_path, p_typ); }
    std::unique_ptr<UsbPort> openDevice(const std::string& p_path) override {
        return std::make_unique<TracingPort>(inner_.openDevice(p_path), log_);
    }

private:
    DeviceBackend& inner_;
    WireLog& log_;
};

} // namespace kelvo
