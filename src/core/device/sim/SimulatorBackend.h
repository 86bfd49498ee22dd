#pragma once
// The in-process route to the simulated scanner: the same two endpoints, no USB in between.
// Its waits run on the clock it is given, so under a virtual clock a 5 s timeout costs nothing.
#include "device/DeviceBackend.h"
#include "simulator/Scanner.h"

namespace kelvo {

class SimulatorPort final : public UsbPort {
public:
    SimulatorPort(sim::Scanner& scanner, Clock& clock) : scanner_(scanner), clock_(clock) {}
    ~SimulatorPort() override { cancelRead(); }

    bool writeBlock(std::span<const std::uint8_t, kBlockSize> block) override;
    bool armRead(std::span<std::uint8_t> buffer) override;
    ReadResult waitRead(std::optional<Millis> limit) override { return waitReadUnless(limit, {}); }
    // Under a virtual clock the waits between the looks at `stop` cost nothing.
    ReadResult waitReadUnless(std::optional<Millis> limit, const std::function<bool()>& stop) override;
    void cancelRead() override;
    bool setTransferSize(const SET_TRANSFER_SIZE_INFO& info) override;

private:
    // Sleeps until `when`, in steps of kStopPollInterval while `stop` is given; false when it
    // said stop.
    bool sleepUntilUnless(Millis when, const std::function<bool()>& stop);

    sim::Scanner& scanner_;
    Clock& clock_;
    std::span<std::uint8_t> armed_;
    bool isArmed_ = false;
};

class SimulatorBackend final : public DeviceBackend {
public:
    SimulatorBackend(sim::Scanner& scanner, Clock& clock) : scanner_(scanner), clock_(clock) {}
    bool initLib() override { return true; }
    bool findDevice(std::string& p_path, int p_typ) override;
    std::unique_ptr<UsbPort> openDevice(const std::string& p_path) override;

private:
    sim::Scanner& scanner_;
    Clock& clock_;
};

} // namespace kelvo
