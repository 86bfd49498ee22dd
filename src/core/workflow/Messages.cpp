#include "workflow/Messages.h"

namespace kelvo::messages {

std::string tooOldHardware(int version) {
    return "To old hardware !\r\nYour version: " + std::to_string(version) + ", request version " +
           std::to_string(kRequiredSvnVersion);
}

} // namespace kelvo::messages
