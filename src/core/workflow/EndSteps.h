#pragma once
// The end steps of a download run: the status text "Finish!" and the end of the transmission,
// on every way out of the run. finish() runs them on the way out that returns, where an error
// of theirs reaches the caller; when an error leaves the run first, the destructor runs them and
// their own errors give way to that first one. Freeing the transfer object stays with its owner.
#include "transmission/Transmisja.h"
#include "workflow/ImageWorkflow.h"

namespace kelvo {

class EndSteps {
public:
    EndSteps(ImageWorkflowHost& host, TQX27R_Transmisja& v_usb) : host_(host), v_usb_(v_usb) {}
    ~EndSteps();
    EndSteps(const EndSteps&) = delete;
    EndSteps& operator=(const EndSteps&) = delete;

    void finish();

private:
    ImageWorkflowHost& host_;
    TQX27R_Transmisja& v_usb_;
    bool done_ = false;
};

} // namespace kelvo
