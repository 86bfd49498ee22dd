#include "workflow/EndSteps.h"

#include "workflow/Messages.h"

namespace kelvo {

void EndSteps::finish() {
    done_ = true; // once, whatever they raise
    host_.status(messages::kFinish);
    v_usb_.zakoncz_transmisje();
}

EndSteps::~EndSteps() {
    if (done_) return;
    try {
        finish();
    } catch (...) {
        // An error is already on its way to the caller: it is the one that counts.
    }
}

} // namespace kelvo
