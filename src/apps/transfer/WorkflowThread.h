#pragma once
// Runs the image or cine workflow on a worker thread for the main window. Everything the
// workflow asks of its host (status texts, message boxes, the selection dialog) is carried to
// the user-interface thread and waited for there, so the window repaints and "Break" works
// while the scanner is busy. The end of the run comes back on the user-interface thread.
#include "items/TImageData.h"
#include "ui/MainWindowLogic.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kelvo::transfer {

// What the run needs from the windows; every call comes on the user-interface thread.
class RunUi {
public:
    virtual ~RunUi() = default;
    virtual void runStatus(const std::string& p_str) = 0;
    // Modal; returns once the user has closed the box.
    virtual void runMessage(const std::string& text) = 0;
    // Modal; the ticks by position, or nothing when the user did not confirm with OK.
    virtual std::optional<std::vector<bool>> runSelect(std::span<const std::unique_ptr<TImageData>> entries) = 0;
    virtual void runEnded(ui::RunEnd end, const std::string& errorText) = 0;
};

class WorkflowThread final : public ui::WorkflowRunner {
public:
    // `context` is a QObject living on the user-interface thread; calls are delivered through it.
    WorkflowThread(QObject& context, RunUi& ui);
    // A run still in progress is told to break and waited for; what it still asks is answered
    // as cancelled, and its end is not reported.
    ~WorkflowThread() override;
    WorkflowThread(const WorkflowThread&) = delete;
    WorkflowThread& operator=(const WorkflowThread&) = delete;

    void start(const ui::RunRequest& request) override;
    bool busy() const { return worker_.joinable(); }

private:
    class Host;
    void run(ui::RunRequest request);
    // Runs `call` on the user-interface thread and waits; false when the window is going away.
    template <typename F> bool onUiThread(F&& call);

    QObject& context_;
    RunUi& ui_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> workerDone_{false};
    std::thread worker_;
};

} // namespace kelvo::transfer
