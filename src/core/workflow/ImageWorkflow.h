#pragma once
// The image run behind "Get Kelvo images": set the transfer size, make the transfer object,
// switch USB transfer on, check the scanner, read the image catalogue, let the user tick
// entries, download each ticked one, and end the transmission on every way out.
//
// The windows and the command-line tool each supply a host: how status texts and messages
// reach the user, the selection dialog, and the message pump. Every call of the host comes on
// the thread that runs GetImages; only RunningTransfer::requestBreak is meant for other
// threads. The run itself keeps no state between calls.
#include "transmission/ImageDownload.h"
#include "transmission/Transmisja.h"
#include "workflow/RunningTransfer.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvo {

class ImageWorkflowHost {
public:
    virtual ~ImageWorkflowHost() = default;

    // Panel 0 of the status bar.
    virtual void status(const std::string& p_str) = 0;
    // A modal message box (OK button, stop icon, the application's title); returns once the
    // user has closed it. Line breaks are CR LF.
    virtual void message(const std::string& text) = 0;
    // The selection dialog, filled with the entries, every row ticked at first. The tick of
    // each list position (a position beyond the vector counts as not ticked), or nothing when
    // the user did not confirm with OK.
    virtual std::optional<std::vector<bool>> select(std::span<const std::unique_ptr<TImageData>> entries) = 0;
    // Serves pending window messages (paints, "Break", Esc); the command-line host does nothing.
    virtual void processMessages() = 0;
    // Told after each ticked entry's download, whatever came of it. The run itself goes on
    // either way.
    virtual void imageDone(std::int32_t p_id, const TImageData& entry, const ImageDownload& result) {
        (void)p_id, (void)entry, (void)result;
    }
};

// How a run ended, for hosts that report it (the windows show only the messages and the
// status texts).
struct ImageRun {
    enum class End {
        Finished,    // the loop went through every entry
        CheckFailed, // a check failed; `message` is the text that was shown
        Cancelled,   // the selection was not confirmed
        Broken,      // the break flag ended the loop before its last entry
    };
    End end = End::Finished;
    std::string message;
    int entries = 0; // N, the catalogue's entries
    int ticked = 0;  // ticked entries that were downloaded or tried
    int saved = 0;
    std::vector<std::int32_t> failed; // positions of ticked entries that left no file
};

// GetImages for p_folder on the opened scanner. The transfer object is attached to `v_usb`
// from its creation until just before it is freed, so that a break request from any thread
// reaches its a_break. The end steps (status "Finish!", zakoncz_transmisje, freeing the
// transfer object) run on every way out; an error raised by any step then goes on to the caller.
// Upload messages go to host.message unless `settings` says otherwise.
ImageRun GetImages(TUSB_Device& usb_device, const std::filesystem::path& p_folder, ImageWorkflowHost& host,
                   RunningTransfer& v_usb, ImageDownloadSettings settings = {});

} // namespace kelvo
