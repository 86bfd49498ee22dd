#include "workflow/Messages.h"

namespace kelvo::messages {

std::string tooOldHardware(int version) {
    return "To old hardware !\r\nYour version: " + std::to_string(version) + ", request version " +
           std::to_string(kRequiredSvnVersion);
}

std::string imageProgress(int p_id, int n) { return "Image " + std::to_string(p_id + 1) + "/" + std::to_string(n); }

std::string cineProgress(int p_id, int n) { return "Cine " + std::to_string(p_id + 1) + "/" + std::to_string(n); }

std::string shortCine(std::int32_t ID, std::size_t deliveredBytes) {
    constexpr std::size_t kLoopBytes = 33554432, kFrameBytes = 131072;
    return "Cine " + std::to_string(std::int64_t{ID} + 1) + " arrived only in part: " + std::to_string(deliveredBytes) +
           " of " + std::to_string(kLoopBytes) + " bytes, " + std::to_string(deliveredBytes / kFrameBytes) +
           " of 256 frames. The rest of the loop is black.";
}

} // namespace kelvo::messages
