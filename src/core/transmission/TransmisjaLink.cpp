// Link-level operations: switching USB transfer on, draining stale replies, synchronising,
// setting the scanner's clock, and ending the transmission.
#include "transmission/CommandBlock.h"
#include "transmission/Transmisja.h"

namespace kelvo {

void TQX27R_Transmisja::WlaczTransmisjeUSB() {
    (void)USB_Send_Command(a_device, makeSwitchOnBlock());
    sleep(500);
    // Whatever the scanner sends on its own after switching on; nothing is sent for it and
    // neither its outcome nor its bytes are used.
    resizeBuffer(kSwitchOnReadBytes);
    a_kontekst.timeOut = kSwitchOnReadWait;
    if (rozpocznijOdczyt(a_kontekst)) (void)czekajNaOdczyt(a_kontekst);
    sleep(500);
    (void)dokonczWlaczenieUSB();
}

bool TQX27R_Transmisja::dokonczWlaczenieUSB() { return wyslijKomendeSlowo(KOM_USB_GOTOWE, 255); }

DrainOutcome TQX27R_Transmisja::drain(std::int32_t p_ileOdczytacSektorow, std::int32_t p_ileWyslacSektorow) {
    const auto n = static_cast<std::uint32_t>(p_ileOdczytacSektorow) * 512u;
    resizeBuffer(n);
    a_kontekst.timeOut = kDrainWait;
    if (!rozpocznijOdczyt(a_kontekst)) return DrainOutcome::NotStarted;
    if (!wyslijKomendeBajt(KOM_SMIECI, static_cast<std::uint8_t>(p_ileWyslacSektorow & 0xFF))) {
        a_device.aHandle->cancelRead();
        a_armed = false;
        return DrainOutcome::NotStarted;
    }
    return czekajNaOdczyt(a_kontekst) ? DrainOutcome::Answered : DrainOutcome::TimedOut;
}

bool TQX27R_Transmisja::ReadSmieci(std::int32_t p_ileOdczytacSektorow, std::int32_t p_ileWyslacSektorow) {
    return drain(p_ileOdczytacSektorow, p_ileWyslacSektorow) == DrainOutcome::Answered;
}

bool TQX27R_Transmisja::synchronizuj() {
    // A one-sector drain ends the synchronisation when its reply arrives, and also when it could
    // not be started at all (the link is gone: repeating would not help).
    bool answered = false;
    auto ends = [&](DrainOutcome outcome) {
        answered = outcome == DrainOutcome::Answered;
        return outcome != DrainOutcome::TimedOut;
    };
    if (!ends(drain(1, 1))) {
        for (int round = 0; !ends(drain(1, 1)); ++round) {
            if (round >= kMaxSyncRounds || a_break) break;
            sleep(500);
            (void)ReadSmieci(1, 2);
            sleep(500);
        }
    }
    sleep(500);
    return answered;
}

void TQX27R_Transmisja::ustawDateCzas(const ClockTime& p_czas) {
    const struct {
        std::uint8_t code;
        int value;
    } steps[] = {{KOM_ROK, p_czas.year - 2000}, {KOM_MIESIAC, p_czas.month}, {KOM_DZIEN, p_czas.day},
                 {KOM_GODZINA, p_czas.hour}, {KOM_MINUTA, p_czas.minute}};
    for (const auto& step : steps) {
        (void)wyslijKomendeBajt(step.code, static_cast<std::uint8_t>(step.value & 0xFF));
        sleep(200);
    }
}

void TQX27R_Transmisja::zakoncz_transmisje() { (void)wyslijKomende(KOM_ZAKONCZ); }

} // namespace kelvo
