#pragma once
// The cine run behind the cines button ("Get Kelvo" over "cines"): the frame of the image run
// (transfer size, transfer object, switch-on, checks, catalogue, selection, per-entry loop, end
// steps on every way out) with the field of view read after the revision, the cine catalogue,
// and for each ticked cine its download, raw file, frames and video.
//
// Mended: the user hears, each text once per run, of a loop that arrived only in part (how much
// of it came) and of a cine that got no video (its frame width refused, no encoder, or an
// encoder that failed), instead of finding a video missing or black without a word. A cine
// that never arrives is still not a message; hosts learn of it through cineDone.
#include "cine/CineExport.h"
#include "transmission/CineDownload.h"
#include "transmission/Transmisja.h"
#include "workflow/ImageWorkflow.h"
#include "workflow/RunningTransfer.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kelvo {

// What came of one ticked cine.
struct CineItem {
    CineDownload download;
    bool stored = false;            // the raw file was written
    std::filesystem::path rawFile;  // tmp / cine_N.bin
    std::optional<CineVideo> video; // the frames and the video, once stored

    bool made() const { return video && video->made(); }
};

// The image run's host, and what only a cine run asks of it.
class CineWorkflowHost : public ImageWorkflowHost {
public:
    // Told after each ticked cine, whatever came of it. The run goes on either way.
    virtual void cineDone(std::int32_t p_id, const TImageData& entry, const CineItem& result) {
        (void)p_id, (void)entry, (void)result;
    }
    // The depth-range box ("Jaki zakres", "Jaki zakres mm?", preset "100"): the answer, or
    // nothing when cancelled. A run never needs it, since every entry has its depth range.
    virtual std::optional<std::string> askRange() { return std::nullopt; }
};

struct CineRun {
    using End = ImageRun::End;
    End end = End::Finished;
    std::string message; // the failed check's text
    int entries = 0;     // N
    int ticked = 0;
    int videos = 0;                   // ticked cines that got their video
    std::vector<std::int32_t> failed; // positions of ticked cines without a video
};

// GetCines for p_folder on the opened scanner: raw files and frames in p_folder / "tmp", the
// videos in p_folder. The transfer object is attached to `v_usb` for its whole life; its status
// event goes to host.status from its creation on. The end steps run on every way out; an error
// raised by any step then goes on to the caller. The encoder's settings come from `settings`;
// its window messages and depth-range question go to the host.
CineRun GetCines(TUSB_Device& usb_device, const std::filesystem::path& p_folder, CineWorkflowHost& host,
                 RunningTransfer& v_usb, CineExportSettings settings = {});

} // namespace kelvo
