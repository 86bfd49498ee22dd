#pragma once
// One opened route to the scanner's two bulk endpoints: 0x02 out, 0x86 in. The CyUSB driver on
// Windows, libusb elsewhere and the in-process simulated scanner each implement it.
#include "base/Clock.h"
#include "device/UsbTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace kelvo {

// How long one block write may take before it counts as failed.
inline constexpr Millis kWriteWait{256};

// How often a wait that can be stopped asks whether to stop.
inline constexpr Millis kStopPollInterval{100};

enum class ReadStatus { Completed, TimedOut, Failed };

struct ReadResult {
    ReadStatus status = ReadStatus::Failed;
    std::size_t bytes = 0; // bytes the scanner delivered into the buffer
};

class UsbPort {
public:
    virtual ~UsbPort() = default;

    // Write one 512-byte block to endpoint 0x02; true when it completed within kWriteWait.
    virtual bool writeBlock(std::span<const std::uint8_t, kBlockSize> block) = 0;

    // Arm one read from endpoint 0x86 into `buffer`, which must stay valid until the read has
    // completed, failed, or been cancelled. At most one read is armed at a time.
    virtual bool armRead(std::span<std::uint8_t> buffer) = 0;

    // Wait for the armed read; no limit waits until it ends. A read whose wait ran out is
    // cancelled and its cancellation reaped before this returns, so the buffer may then be
    // resized or freed and a late completion can never be taken for a later read.
    virtual ReadResult waitRead(std::optional<Millis> limit) = 0;

    // waitRead that also ends, as a wait that ran out does (TimedOut, the read cancelled and
    // reaped), once `stop` returns true; `stop` is asked at least every kStopPollInterval. For
    // the long wait of a cine, which the break flag must be able to end. A route that cannot
    // look in between waits as waitRead does.
    virtual ReadResult waitReadUnless(std::optional<Millis> limit, const std::function<bool()>& stop) {
        (void)stop;
        return waitRead(limit);
    }

    // Retire an armed read that will not be waited for (a command that could not be sent).
    virtual void cancelRead() = 0;

    // The driver's transfer size of an endpoint; routes without such a setting accept it.
    virtual bool setTransferSize(const SET_TRANSFER_SIZE_INFO& info) = 0;
};

} // namespace kelvo
