#include "workflow/Messages.h"

namespace kelvo::messages {

std::string tooOldHardware(int version) {
    return "To old hardware !\r\nYour version: " + std::to_string(version) + ", request version " +
           std::to_string(kRequiredSvnVersion);
}

std::string imageProgress(int p_id, int n) { return "Image " + std::to_string(p_id + 1) + "/" + std::to_string(n); }

} // namespace kelvo::messages
