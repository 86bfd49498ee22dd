#pragma once
// The simulated scanner: the other side of the wire. It decodes each 512-byte block that arrives
// on endpoint 0x02 from the byte layout itself, checks that every command block is followed by a
// 0xFF trailer block, and keeps the reply stream of endpoint 0x86: replies queue up in the order
// the commands came, each arriving over time at the card's delivery rate, and a reply that no
// read took stays in the stream for the next read, as stale data does on the real device.
//
// Thread-safe: the usbfs emulation calls it from its own threads.
#include "base/WireLog.h"
#include "simulator/Card.h"

#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvo::sim {

struct ScannerClockSetting {
    int year = -1, month = -1, day = -1, hour = -1, minute = -1; // as last set by commands 56 to 60
};

class Scanner {
public:
    Scanner(Card card, const Clock& clock);

    // Host to scanner, endpoint 0x02. False once the link is gone (the block never arrives).
    bool receiveBlock(std::span<const std::uint8_t> block);
    bool linkUp() const;

    // When the first `wanted` bytes of the front reply (all of it, if it is shorter) will have
    // arrived; nothing when no reply is pending.
    std::optional<Millis> readyAt(std::size_t wanted) const;

    struct Delivery {
        std::size_t bytes = 0;
        bool replyEnded = false; // the reply's last byte was delivered (a short packet ends the transfer)
    };
    // Moves what has arrived by now of the front reply into `out`, at most out.size() bytes.
    Delivery deliver(std::span<std::uint8_t> out);

    // Host-side events the scanner sees on endpoint 0x86 (arm, complete, timeout, cancel).
    void note(std::string kind, std::size_t bytes);

    WireLog& log() { return log_; }
    const WireLog& log() const { return log_; }
    std::vector<std::string> protocolErrors() const;
    ScannerFaults faults() const;
    void setFaults(const ScannerFaults& faults);
    ScannerClockSetting clockSetting() const;
    unsigned endCommands() const;   // how many end-of-transmission commands arrived
    bool usbMode() const;           // switched on and not yet ended
    std::size_t pendingBytes() const;

private:
    struct Reply {
        std::vector<std::uint8_t> data;
        std::size_t consumed = 0;
        Millis start{0}; // arrival time of its first byte
    };

    void handleBlock(std::span<const std::uint8_t> block);
    void execute(std::span<const std::uint8_t> block);
    void checkLink(); // the cable goes once the card's block count has arrived
    void queueReply(std::vector<std::uint8_t> data, std::uint8_t command);
    Millis arrivalOf(const Reply& reply, std::size_t byteCount) const;
    void protocolError(std::string text);

    const Clock& clock_;
    Card card_;
    WireLog log_;
    mutable std::mutex mutex_;
    std::deque<Reply> replies_;
    std::vector<std::uint8_t> pendingCommand_; // a command block waiting for its trailer
    bool awaitingTrailer_ = false;
    bool switchedOn_ = false;
    bool linkLost_ = false;
    unsigned blocksReceived_ = 0;
    unsigned drainsSeen_ = 0;
    unsigned endCommands_ = 0;
    ScannerClockSetting clockSetting_;
    std::vector<std::string> protocolErrors_;
};

} // namespace kelvo::sim
