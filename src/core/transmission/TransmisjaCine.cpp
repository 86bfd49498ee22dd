// The download of one cine: one read of 33,554,432 bytes for command 23 with the entry's slot
// number, and its raw file.
//
// Mended:
// - The wait is bounded (kCineWait) instead of unlimited, and the break flag ends it: a
//   scanner that never sends the loop no longer hangs the run.
// - A reply that ends early does not pass the previous cine's bytes (or the catalogue's) off as
//   this one: the bytes that did not arrive are zeros, and the outcome says how many came.
#include "base/AtomicFile.h"
#include "transmission/Transmisja.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace kelvo {
namespace {

const TImageData& entryAt(const std::vector<std::unique_ptr<TImageData>>& list, std::int32_t p_id) {
    if (p_id < 0 || static_cast<std::size_t>(p_id) >= list.size())
        throw std::out_of_range("no catalogue entry at position " + std::to_string(p_id));
    return *list[static_cast<std::size_t>(p_id)];
}

} // namespace

bool TQX27R_Transmisja::czekajNaCine(TWatekReadUSB_Context& p_kontekst) {
    if (!a_armed) return false;
    const ReadResult result =
        a_device.aHandle->waitReadUnless(Millis{p_kontekst.timeOut}, [this] { return a_break.load(); });
    a_armed = false; // completed, failed, or cancelled and reaped by the route
    p_kontekst.nBytes = static_cast<std::uint32_t>(result.bytes);
    return result.status == ReadStatus::Completed;
}

std::filesystem::path TQX27R_Transmisja::cineFile(const TImageData& p_dane) const {
    return a_folder / "tmp" / ("cine_" + std::to_string(std::int64_t{p_dane.ID} + 1) + ".bin");
}

CineDownload TQX27R_Transmisja::pobierajCine(std::int32_t p_id) {
    utworzFolderTmp();
    const TImageData& e = entryAt(a_image_list, p_id);

    CineDownload result;
    resizeBuffer(kCineBytes);
    a_kontekst.timeOut = kCineWait;
    if (!rozpocznijOdczyt(a_kontekst)) return result;
    if (!wyslijKomendeSlowo(KOM_CINE, static_cast<std::uint16_t>(e.ID & 0xFFFF))) {
        a_device.aHandle->cancelRead(); // nobody will wait for this read
        a_armed = false;
        return result;
    }
    const bool completed = czekajNaCine(a_kontekst);
    result.deliveredBytes = std::min<std::size_t>(deliveredBytes(), kCineBytes);
    if (!completed) {
        result.outcome = a_break ? CineDownload::Outcome::Broken : CineDownload::Outcome::NoReply;
        return result;
    }
    // Behind what arrived the buffer still holds an earlier transfer: it must read as nothing.
    std::fill(a_buf_usb.begin() + static_cast<std::ptrdiff_t>(result.deliveredBytes), a_buf_usb.end(), std::uint8_t{0});
    result.outcome =
        result.deliveredBytes == kCineBytes ? CineDownload::Outcome::Complete : CineDownload::Outcome::ShortReply;
    return result;
}

bool TQX27R_Transmisja::zapiszCine(std::int32_t p_id) {
    const TImageData& e = entryAt(a_image_list, p_id);
    if (a_buf_usb.size() != kCineBytes) throw std::logic_error("no cine in the read buffer");
    writeFileAtomically(cineFile(e), a_buf_usb); // throws when it cannot be written
    return true;
}

} // namespace kelvo
