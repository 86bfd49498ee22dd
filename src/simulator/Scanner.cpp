#include "simulator/Scanner.h"

#include <algorithm>
#include <cmath>

namespace kelvo::sim {
namespace {

// What the scanner makes of one block on endpoint 0x02, read from its bytes alone.
struct Decoded {
    enum class Kind { Trailer, SwitchOn, Command, Garbage } kind = Kind::Garbage;
    std::uint8_t code = 0;
    std::optional<std::uint8_t> byte;      // byte 7 after the 0x3A marker
    std::optional<std::uint16_t> word;     // bytes 7 and 9 after the 0x3A and 0x3B markers
    std::optional<std::uint8_t> extraByte; // byte 11 after the 0x38 marker
};

Decoded decode(std::span<const std::uint8_t> b) {
    Decoded d;
    if (std::all_of(b.begin(), b.end(), [](std::uint8_t x) { return x == 0xFF; })) {
        d.kind = Decoded::Kind::Trailer;
        return d;
    }
    if (b.size() != kSector || b[0] != 0xFE || b[1] != 0x01 || b[2] != 0x38 || b[3] != 0x01) return d;
    if (std::all_of(b.begin() + 4, b.end(), [](std::uint8_t x) { return x == 0xFF; })) {
        d.kind = Decoded::Kind::SwitchOn;
        return d;
    }
    if (b[4] != 0x39) return d;
    d.kind = Decoded::Kind::Command;
    d.code = b[5];
    if (b[6] == 0x3A) {
        d.byte = b[7];
        if (b[8] == 0x3B) {
            d.word = static_cast<std::uint16_t>(b[7] | (b[9] << 8));
            if (b[10] == 0x38) d.extraByte = b[11];
        }
    }
    return d;
}

std::vector<std::uint8_t> wordReply(std::initializer_list<std::uint16_t> words) {
    std::vector<std::uint8_t> reply(kSector, 0);
    std::size_t at = 2;
    for (std::uint16_t w : words) {
        reply[at] = static_cast<std::uint8_t>(w & 0xFF);
        reply[at + 1] = static_cast<std::uint8_t>(w >> 8);
        at += 2;
    }
    return reply;
}

std::vector<std::uint8_t> catalogueReply(const std::vector<std::uint8_t>& catalogue, unsigned count) {
    std::vector<std::uint8_t> reply(static_cast<std::size_t>(count) * kSector, 0);
    std::copy_n(catalogue.begin(), std::min(catalogue.size(), reply.size()), reply.begin());
    return reply;
}

// Stale bytes look like nothing the host asked for.
constexpr std::uint8_t kStaleFill = 0xEE;

} // namespace

Scanner::Scanner(Card card, const Clock& clock) : clock_(clock), card_(std::move(card)), log_(clock) { checkLink(); }

bool Scanner::receiveBlock(std::span<const std::uint8_t> block) {
    std::lock_guard lock(mutex_);
    if (linkLost_ || card_.faults.outEndpointStalled) {
        log_.record("write-failed", "02", block.size(), block);
        return false;
    }
    ++blocksReceived_;
    log_.record("write", "02", block.size(), block);
    handleBlock(block);
    checkLink();
    return true;
}

void Scanner::checkLink() {
    if (!linkLost_ && card_.faults.linkLostAfterBlocks && blocksReceived_ >= *card_.faults.linkLostAfterBlocks) {
        linkLost_ = true;
        replies_.clear();
    }
}

void Scanner::handleBlock(std::span<const std::uint8_t> block) {
    if (block.size() != kSector) {
        protocolError("a block of " + std::to_string(block.size()) + " bytes");
        return;
    }
    const Decoded d = decode(block);
    if (d.kind == Decoded::Kind::Trailer) {
        if (!awaitingTrailer_) {
            protocolError("a trailer block without a command block before it");
            return;
        }
        awaitingTrailer_ = false;
        execute(pendingCommand_);
        return;
    }
    if (awaitingTrailer_) protocolError("a command block where the trailer of the previous one was due");
    if (d.kind == Decoded::Kind::Garbage) {
        protocolError("a block that is not a command: " + trimmedHex(block));
        awaitingTrailer_ = false;
        return;
    }
    pendingCommand_.assign(block.begin(), block.end());
    awaitingTrailer_ = true;
    return;
}

void Scanner::execute(std::span<const std::uint8_t> block) {
    const Decoded d = decode(block);
    if (d.kind == Decoded::Kind::SwitchOn) {
        switchedOn_ = true;
        if (card_.faults.staleSectors > 0)
            queueReply(std::vector<std::uint8_t>(card_.faults.staleSectors * kSector, kStaleFill), 0);
        return;
    }
    if (!switchedOn_) {
        protocolError("command " + std::to_string(d.code) + " before the switch-on block");
        return;
    }
    auto needWord = [&]() {
        if (!d.word) protocolError("command " + std::to_string(d.code) + " without its 16-bit parameter");
        return d.word.has_value();
    };
    auto needByte = [&]() {
        if (!d.byte) protocolError("command " + std::to_string(d.code) + " without its byte parameter");
        return d.byte.has_value();
    };
    const ScannerIdentity& id = card_.identity;
    switch (d.code) {
    case 10: queueReply(wordReply({static_cast<std::uint16_t>(card_.imageCount())}), d.code); break;
    case 11: queueReply(catalogueReply(card_.imageCatalogue, card_.imageCount()), d.code); break;
    case 13:
        if (needWord() && card_.image) {
            if (auto raw = card_.image(*d.word)) {
                raw->resize(kImageBytes, 0);
                queueReply(std::move(*raw), d.code);
            }
        }
        break;
    case 20: queueReply(wordReply({static_cast<std::uint16_t>(card_.cineCount())}), d.code); break;
    case 21: queueReply(catalogueReply(card_.cineCatalogue, card_.cineCount()), d.code); break;
    case 23:
        if (needWord() && card_.cine) {
            if (auto raw = card_.cine(*d.word)) {
                raw->resize(kCineBytes, 0);
                queueReply(std::move(*raw), d.code);
            }
        }
        break;
    case 24:
        if (needByte()) {
            ++drainsSeen_;
            if (drainsSeen_ > card_.faults.drainsIgnored)
                queueReply(std::vector<std::uint8_t>(*d.byte * kSector, kStaleFill), d.code);
        }
        break;
    case 50: queueReply(wordReply({id.svn_version}), d.code); break;
    case 51: queueReply(wordReply({id.magic_number}), d.code); break;
    case 53:
        // Start and length in 64 KiB units: (chunk x 128, 128) is 8 MiB from chunk x 8 MiB.
        if (needWord() && d.extraByte) {
            const std::uint64_t offset = std::uint64_t{*d.word} * 65536;
            std::vector<std::uint8_t> data(std::size_t{*d.extraByte} * 65536, 0xFF);
            if (card_.cf) card_.cf(offset, data);
            else patternCf(offset, data);
            queueReply(std::move(data), d.code);
        } else {
            protocolError("command 53 without its 16-bit and byte parameters");
        }
        break;
    case 54: queueReply(wordReply({id.field_of_view}), d.code); break;
    case 55:
        if (needWord() && *d.word != 255) protocolError("command 55 with parameter " + std::to_string(*d.word));
        break;
    case 56: if (needByte()) clockSetting_.year = 2000 + *d.byte; break;
    case 57: if (needByte()) clockSetting_.month = *d.byte; break;
    case 58: if (needByte()) clockSetting_.day = *d.byte; break;
    case 59: if (needByte()) clockSetting_.hour = *d.byte; break;
    case 60: if (needByte()) clockSetting_.minute = *d.byte; break;
    case 62: queueReply(wordReply({id.probe, id.lh, id.version_svn}), d.code); break;
    case 255:
        ++endCommands_;
        switchedOn_ = false;
        break;
    default: protocolError("unknown command " + std::to_string(d.code)); break;
    }
}

void Scanner::queueReply(std::vector<std::uint8_t> data, std::uint8_t command) {
    bool cut = false;
    if (command != 0) {
        if (card_.faults.silentCommands.count(command)) return;
        if (auto s = card_.faults.shortReplies.find(command); s != card_.faults.shortReplies.end()) {
            data.resize(std::min(data.size(), s->second));
            cut = true;
        }
    }
    // A reply cut to nothing still ends the host's read, as a zero-length packet does.
    if (data.empty() && !cut) return;
    Millis start = clock_.now() + card_.faults.latency;
    // One pipe: a reply starts arriving once the one before it has arrived.
    if (!replies_.empty()) {
        const Reply& last = replies_.back();
        start = std::max(start, arrivalOf(last, last.data.size()));
    }
    replies_.push_back(Reply{std::move(data), 0, start});
}

Millis Scanner::arrivalOf(const Reply& reply, std::size_t byteCount) const {
    const double rate = card_.faults.bytesPerSecond;
    if (rate <= 0) return reply.start;
    return reply.start + Millis{static_cast<Millis::rep>(std::ceil(static_cast<double>(byteCount) * 1000.0 / rate))};
}

bool Scanner::linkUp() const {
    std::lock_guard lock(mutex_);
    return !linkLost_;
}

std::optional<Millis> Scanner::readyAt(std::size_t wanted) const {
    std::lock_guard lock(mutex_);
    if (linkLost_ || replies_.empty()) return std::nullopt;
    const Reply& front = replies_.front();
    const std::size_t upTo = front.consumed + std::min(wanted, front.data.size() - front.consumed);
    return arrivalOf(front, upTo);
}

Scanner::Delivery Scanner::deliver(std::span<std::uint8_t> out) {
    std::lock_guard lock(mutex_);
    if (linkLost_ || replies_.empty()) return {};
    Reply& front = replies_.front();
    const Millis now = clock_.now();
    std::size_t arrived = front.data.size();
    if (card_.faults.bytesPerSecond > 0) {
        const double elapsed = static_cast<double>((now - front.start).count());
        arrived = elapsed < 0 ? 0
                              : std::min(front.data.size(),
                                         static_cast<std::size_t>(elapsed * card_.faults.bytesPerSecond / 1000.0));
        if (arrivalOf(front, front.data.size()) <= now) arrived = front.data.size();
    }
    const std::size_t available = arrived > front.consumed ? arrived - front.consumed : 0;
    const std::size_t n = std::min(out.size(), available);
    std::copy_n(front.data.begin() + static_cast<std::ptrdiff_t>(front.consumed), n, out.begin());
    front.consumed += n;
    Delivery d{n, false};
    if (front.consumed == front.data.size()) {
        d.replyEnded = true;
        replies_.pop_front();
    }
    return d;
}

void Scanner::note(std::string kind, std::size_t bytes) { log_.record(std::move(kind), "86", bytes); }

void Scanner::protocolError(std::string text) {
    log_.record("protocol-error", "--", 0);
    protocolErrors_.push_back(std::move(text));
}

std::vector<std::string> Scanner::protocolErrors() const {
    std::lock_guard lock(mutex_);
    return protocolErrors_;
}

ScannerFaults Scanner::faults() const {
    std::lock_guard lock(mutex_);
    return card_.faults;
}

void Scanner::setFaults(const ScannerFaults& faults) {
    std::lock_guard lock(mutex_);
    card_.faults = faults;
    checkLink();
}

ScannerClockSetting Scanner::clockSetting() const {
    std::lock_guard lock(mutex_);
    return clockSetting_;
}

unsigned Scanner::endCommands() const {
    std::lock_guard lock(mutex_);
    return endCommands_;
}

bool Scanner::usbMode() const {
    std::lock_guard lock(mutex_);
    return switchedOn_;
}

std::size_t Scanner::pendingBytes() const {
    std::lock_guard lock(mutex_);
    std::size_t total = 0;
    for (const Reply& r : replies_) total += r.data.size() - r.consumed;
    return total;
}

} // namespace kelvo::sim
