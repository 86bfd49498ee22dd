#pragma once
// The transfer object: one instance carries one download run, from switching the scanner into
// USB transfer mode to ending the transmission. It owns the read buffer, the read context, the
// command block and the catalogue entries; it never owns the device.
#include "device/UsbLibrary.h"
#include "device/UsbTypes.h"
#include "items/TImageData.h"
#include "cine/CineExport.h"
#include "transmission/CineDownload.h"
#include "transmission/CommandCodes.h"
#include "transmission/ImageDownload.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelvo {

class TQX27R_Transmisja;

// Status-text callback: (Sender, p_str).
using TEventUpdateSTR = std::function<void(TQX27R_Transmisja& sender, const std::string& p_str)>;

// The context of the one read that can be armed at a time. The route keeps its own request
// record (overlapped record and event, or libusb transfers) for the read's life.
struct TWatekReadUSB_Context {
    std::int32_t a_index_buf = 0; // not used
    SINGLE_TRANSFER pTransfer{};
    std::uint32_t nBytes = 0;     // bytes the last read delivered
    std::int32_t ile_odczytac = 0;
    std::uint32_t timeOut = 0;    // milliseconds; kWaitForever waits without limit
};

struct ClockTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// How a one-sector drain ended, which synchronisation needs to tell apart.
enum class DrainOutcome { Answered, NotStarted, TimedOut };

class TQX27R_Transmisja {
public:
    explicit TQX27R_Transmisja(TUSB_Device& p_devide);
    ~TQX27R_Transmisja();
    TQX27R_Transmisja(const TQX27R_Transmisja&) = delete;
    TQX27R_Transmisja& operator=(const TQX27R_Transmisja&) = delete;

    // Link-level operations.
    void WlaczTransmisjeUSB();
    // Returns whether a drain was answered; the workflows learn from the queries that follow.
    bool synchronizuj();
    bool ReadSmieci(std::int32_t p_ileOdczytacSektorow, std::int32_t p_ileWyslacSektorow);
    void ustawDateCzas(const ClockTime& p_czas);
    // Dumps 64 MiB of CF storage in eight chunks, each at its own offset of `file`. Returns the
    // chunks whose exchange failed (zero-filled in the file). Throws std::runtime_error when the
    // file cannot be written. `progress` is told each chunk number before it is fetched.
    std::vector<int> writeCF(const std::filesystem::path& file = "writeCF.bin",
                             const std::function<void(int chunk)>& progress = {});
    void zakoncz_transmisje();
    void utworzFolderTmp();

    // Device queries. Outputs are written only on success; each query pauses 500 ms afterwards.
    bool Daj_magic_number(std::int32_t& p_magic_number);
    bool Daj_svn_version(std::int32_t& p_svn_version);
    bool Daj_version(std::int32_t& p_PROBE, std::int32_t& p_LH, std::int32_t& p_versionSVN);
    bool Daj_pole_widzenia(std::int32_t& p_pole_widzenia);
    bool Daj_image_max(std::int32_t& p_image_max);
    bool Daj_cine_max(std::int32_t& p_cine_max);

    // Catalogues: read p_ilosc records into the read buffer and keep a copy of them in a file;
    // then build a_image_list from the occupied slots.
    bool Daj_images_opisy(std::int32_t p_ilosc);
    bool Daj_cine_opisy(std::int32_t p_ilosc);
    void Create_image_list(std::int32_t p_ilosc);

    // Fetches the stored image at position p_id of a_image_list (not its ID), renders it and
    // saves it as a_folder / (ID + 1) ".bmp", then runs the upload hook when "RFID.ini" is
    // there; pauses 500 ms afterwards on every outcome. A failed download leaves no file; a file
    // that cannot be written throws std::runtime_error.
    ImageDownload pobierajImage(std::int32_t p_id, const ImageDownloadSettings& p_settings = {});

    // Fetches the cine at position p_id of a_image_list (not its ID) with command 23 and its ID,
    // in one read of 33,554,432 bytes into the read buffer. The wait is bounded by kCineWait and
    // ends early when a_break is set. A reply that ends early keeps what arrived and has zeros
    // after it, never an earlier transfer's bytes.
    CineDownload pobierajCine(std::int32_t p_id);
    // Writes the read buffer, always 33,554,432 bytes, as the raw cine file of the entry at
    // position p_id (cineFile), atomically. True; a file that cannot be written throws
    // std::runtime_error.
    bool zapiszCine(std::int32_t p_id);
    // a_folder / "tmp" / "cine_" (ID + 1) ".bin".
    std::filesystem::path cineFile(const TImageData& p_dane) const;
    // The raw cine file of the entry at position p_id made into frames and a video, with the
    // entry's depth range.
    CineVideo zapiszAVI(std::int32_t p_id, const CineExportSettings& p_settings = {});
    // The raw cine p_cineName of p_dane as frames in a_folder's "tmp" and a video in p_folder,
    // at depth range p_zakres mm (0: asked through p_settings), sized by a_pole_widzenia. Sends
    // "Frame: k/n" through a_EventUpdateSTR, serves the window messages through p_settings and
    // stops at a_break, after the frame in hand (no video then).
    CineVideo Cine2AVI(const std::filesystem::path& p_folder, const std::filesystem::path& p_cineName,
                       std::int32_t p_zakres, const TImageData& p_dane, const CineExportSettings& p_settings = {});

    // The read buffer as the last exchange left it, and how many bytes that exchange delivered.
    const std::vector<std::uint8_t>& buffer() const { return a_buf_usb; }
    std::size_t deliveredBytes() const { return a_kontekst.nBytes; }
    Clock& clock() const { return a_device.clock(); }

    TEventUpdateSTR a_EventUpdateSTR;
    std::atomic<bool> a_break{false};
    std::filesystem::path a_folder;
    std::vector<std::unique_ptr<TImageData>> a_image_list;
    std::int32_t a_pole_widzenia = 0;

    // Synchronisation gives up after this many rounds of its two-sector drain (about 1.2 s each)
    // when the scanner never answers, or at once when a_break is set.
    static constexpr int kMaxSyncRounds = 20;

protected:
    // The exchange pattern: set the buffer to n bytes, arm the read, send, wait. True when the
    // reply came within the wait; deliveredBytes() then says how much of it arrived.
    bool exchange(std::uint32_t n, std::uint32_t timeOut, const std::function<bool()>& send);

    void resizeBuffer(std::uint32_t n);
    bool rozpocznijOdczyt(TWatekReadUSB_Context& p_kontekst);
    bool czekajNaOdczyt(TWatekReadUSB_Context& p_kontekst);
    bool wyslijKomende(std::uint8_t p_kod);
    bool wyslijKomendeBajt(std::uint8_t p_kod, std::uint8_t p_bajt);
    bool wyslijKomendeSlowo(std::uint8_t p_kod, std::uint16_t p_slowo);
    bool wyslijKomendeSlowoBajt(std::uint8_t p_kod, std::uint16_t p_slowo, std::uint8_t p_bajt);
    bool dokonczWlaczenieUSB();
    void sleep(std::uint32_t ms);

private:
    // A query: 512 bytes for command p_kod, with the reply's words at bytes 2, 4, 6, ...
    bool query(std::uint8_t p_kod, std::uint32_t wait, std::span<std::int32_t* const> outputs);
    DrainOutcome drain(std::int32_t p_ileOdczytacSektorow, std::int32_t p_ileWyslacSektorow);
    bool send(const TBuffer_512B& block);
    // czekajNaOdczyt for the cine: its limit, and a_break looked at every kStopPollInterval.
    bool czekajNaCine(TWatekReadUSB_Context& p_kontekst);

    TWatekReadUSB_Context a_kontekst;
    std::vector<std::uint8_t> a_buf_usb;
    TUSB_Device& a_device;
    TBuffer_512B buf{};
    bool a_armed = false;
};

} // namespace kelvo
