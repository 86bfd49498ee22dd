// The command channel: arming and waiting for reads, sending command blocks, and the exchange
// pattern every reading operation follows (the read is always armed before the command).
#include "transmission/CommandBlock.h"
#include "transmission/Transmisja.h"

namespace kelvo {

void TQX27R_Transmisja::resizeBuffer(std::uint32_t n) {
    a_buf_usb.resize(n); // existing bytes stay, new bytes are zero
    a_kontekst.ile_odczytac = static_cast<std::int32_t>(n);
}

bool TQX27R_Transmisja::rozpocznijOdczyt(TWatekReadUSB_Context& p_kontekst) {
    p_kontekst.nBytes = 0;
    p_kontekst.pTransfer = makeSingleTransfer(kEndpointIn);
    if (!a_device.aHandle || a_armed) return false;
    const auto n = static_cast<std::size_t>(p_kontekst.ile_odczytac);
    a_armed = a_device.aHandle->armRead(std::span<std::uint8_t>(a_buf_usb.data(), n));
    return a_armed;
}

bool TQX27R_Transmisja::czekajNaOdczyt(TWatekReadUSB_Context& p_kontekst) {
    if (!a_armed) return false;
    const std::optional<Millis> limit =
        p_kontekst.timeOut == kWaitForever ? std::nullopt : std::optional<Millis>(Millis{p_kontekst.timeOut});
    const ReadResult result = a_device.aHandle->waitRead(limit);
    a_armed = false; // completed, failed, or cancelled and reaped by the route
    p_kontekst.nBytes = static_cast<std::uint32_t>(result.bytes);
    return result.status == ReadStatus::Completed;
}

bool TQX27R_Transmisja::send(const TBuffer_512B& block) {
    buf = block;
    return USB_Send_Command(a_device, buf);
}

bool TQX27R_Transmisja::wyslijKomende(std::uint8_t p_kod) { return send(makeCommandBlock(p_kod)); }

bool TQX27R_Transmisja::wyslijKomendeBajt(std::uint8_t p_kod, std::uint8_t p_bajt) {
    return send(makeCommandBlockByte(p_kod, p_bajt));
}

bool TQX27R_Transmisja::wyslijKomendeSlowo(std::uint8_t p_kod, std::uint16_t p_slowo) {
    return send(makeCommandBlockWord(p_kod, p_slowo));
}

bool TQX27R_Transmisja::wyslijKomendeSlowoBajt(std::uint8_t p_kod, std::uint16_t p_slowo, std::uint8_t p_bajt) {
    return send(makeCommandBlockWordByte(p_kod, p_slowo, p_bajt));
}

bool TQX27R_Transmisja::exchange(std::uint32_t n, std::uint32_t timeOut, const std::function<bool()>& sendCommand) {
    resizeBuffer(n);
    a_kontekst.timeOut = timeOut;
    if (!rozpocznijOdczyt(a_kontekst)) return false;
    if (!sendCommand()) {
        // Nobody will wait for this read: retire it before the buffer is touched again.
        a_device.aHandle->cancelRead();
        a_armed = false;
        return false;
    }
    return czekajNaOdczyt(a_kontekst);
}

} // namespace kelvo
