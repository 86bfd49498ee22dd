#include "transmission/Transmisja.h"

#include <system_error>

namespace kelvo {

TQX27R_Transmisja::TQX27R_Transmisja(TUSB_Device& p_devide) : a_device(p_devide) {}

TQX27R_Transmisja::~TQX27R_Transmisja() {
    // A read still armed must be retired before its buffer goes.
    if (a_armed && a_device.aHandle) a_device.aHandle->cancelRead();
    while (!a_image_list.empty()) a_image_list.pop_back(); // last to first
}

void TQX27R_Transmisja::utworzFolderTmp() {
    std::error_code ec; // a folder that cannot be made shows when something is written into it
    const auto tmp = a_folder / "tmp";
    if (!std::filesystem::is_directory(tmp, ec)) std::filesystem::create_directory(tmp, ec);
}

void TQX27R_Transmisja::sleep(std::uint32_t ms) { a_device.clock().sleepFor(Millis{ms}); }

} // namespace kelvo
