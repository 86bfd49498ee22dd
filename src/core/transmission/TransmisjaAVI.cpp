// A stored raw cine made into frame bitmaps and a video, for the transfer object's run.
#include "transmission/Transmisja.h"

#include <stdexcept>
#include <string>

namespace kelvo {

CineVideo TQX27R_Transmisja::zapiszAVI(std::int32_t p_id, const CineExportSettings& p_settings) {
    if (p_id < 0 || static_cast<std::size_t>(p_id) >= a_image_list.size())
        throw std::out_of_range("no catalogue entry at position " + std::to_string(p_id));
    const TImageData& e = *a_image_list[static_cast<std::size_t>(p_id)];
    // dajZakresMilimetr is never 0: this path never asks for the depth range.
    return Cine2AVI(a_folder, cineFile(e), e.dajZakresMilimetr(), e, p_settings);
}

CineVideo TQX27R_Transmisja::Cine2AVI(const std::filesystem::path& p_folder, const std::filesystem::path& p_cineName,
                                      std::int32_t p_zakres, const TImageData& p_dane,
                                      const CineExportSettings& p_settings) {
    utworzFolderTmp();
    CineJob job;
    job.folder = a_folder;
    job.videoFolder = p_folder;
    job.rawFile = p_cineName;
    job.zakres = p_zakres;
    job.entry = p_dane;
    job.pole_widzenia = a_pole_widzenia;

    FrameExportHooks hooks;
    if (a_EventUpdateSTR) hooks.status = [this](const std::string& p_str) { a_EventUpdateSTR(*this, p_str); };
    hooks.processMessages = p_settings.processMessages;
    hooks.breakRequested = [this] { return a_break.load(); };
    return eksportujCine(job, hooks, p_settings);
}

} // namespace kelvo
