#include "WorkflowRunner.h"

#include <exception>

namespace kelvo::win32 {
namespace {

class Host final : public CineWorkflowHost {
public:
    explicit Host(const WorkflowWindows& windows) : windows_(windows) {}

    void status(const std::string& p_str) override { windows_.status(p_str); }
    void message(const std::string& text) override { windows_.message(text); }
    std::optional<std::vector<bool>> select(std::span<const std::unique_ptr<TImageData>> entries) override {
        return windows_.select(entries);
    }
    void processMessages() override {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // for the main loop, after the run
                return;
            }
            if (windows_.preview && windows_.preview(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

private:
    const WorkflowWindows& windows_;
};

} // namespace

void UiThreadRunner::start(const ui::RunRequest& request) {
    Host host(windows_);
    ui::RunEnd end = ui::RunEnd::Returned;
    std::string error;
    try {
        if (request.kind == ui::RunKind::Cines) (void)GetCines(*request.device, request.folder, host, *request.v_usb);
        else (void)GetImages(*request.device, request.folder, host, *request.v_usb);
    } catch (const std::exception& e) {
        end = ui::RunEnd::Raised;
        error = e.what();
    }
    if (finished_) finished_(end, error);
}

} // namespace kelvo::win32
