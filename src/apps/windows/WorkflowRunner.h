#pragma once
// Runs the image and cine workflows the way the program was built: on the user-interface
// thread, pumping pending window messages between items so that "Break" and Esc get through.
#include "ui/MainWindowLogic.h"
#include "workflow/CineWorkflow.h"
#include "workflow/ImageWorkflow.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvo::win32 {

struct WorkflowWindows {
    // The status text of the main window.
    std::function<void(const std::string&)> status;
    // A modal message box with OK and the stop icon.
    std::function<void(const std::string&)> message;
    // The selection dialog: the ticks, or nothing when not confirmed with OK.
    std::function<std::optional<std::vector<bool>>(std::span<const std::unique_ptr<TImageData>>)> select;
    // Key preview of the main window while messages are pumped.
    std::function<bool(const MSG&)> preview;
};

class UiThreadRunner final : public ui::WorkflowRunner {
public:
    explicit UiThreadRunner(WorkflowWindows windows) : windows_(std::move(windows)) {}
    // Told once the workflow has returned; set before the first run.
    void onFinished(std::function<void(ui::RunEnd, const std::string&)> finished) { finished_ = std::move(finished); }

    void start(const ui::RunRequest& request) override;

private:
    WorkflowWindows windows_;
    std::function<void(ui::RunEnd, const std::string&)> finished_;
};

} // namespace kelvo::win32
