#pragma once
// What the download of one cine reports back.
#include <cstddef>
#include <cstdint>

namespace kelvo {

// The wait for a cine: 32 MiB take about 1 s at USB 2.0's high speed and about 30 s at full
// speed (a USB 1.1 port or hub); this leaves a wide margin over both.
inline constexpr std::uint32_t kCineWait = 60000;

struct CineDownload {
    enum class Outcome {
        Complete,   // the whole loop arrived
        ShortReply, // the reply ended early: what came is kept, the rest of the buffer is zeros
        NoReply,    // the read could not start, the command was not sent, or the wait ran out
        Broken,     // the break flag ended the wait
    };
    Outcome outcome = Outcome::NoReply;
    std::size_t deliveredBytes = 0;

    // The buffer holds this cine (whole or in part): it may be stored.
    bool received() const { return outcome == Outcome::Complete || outcome == Outcome::ShortReply; }
};

} // namespace kelvo
