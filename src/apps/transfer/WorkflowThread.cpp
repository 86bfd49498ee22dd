#include "WorkflowThread.h"

#include "workflow/CineWorkflow.h"
#include "workflow/ImageWorkflow.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <exception>

namespace kelvo::transfer {

template <typename F> bool WorkflowThread::onUiThread(F&& call) {
    if (stopping_) return false;
    bool delivered = false;
    QMetaObject::invokeMethod(
        &context_,
        [&] {
            // The window may have started to go away while the call was on its way.
            if (stopping_) return;
            call();
            delivered = true;
        },
        Qt::BlockingQueuedConnection);
    return delivered;
}

class WorkflowThread::Host final : public CineWorkflowHost {
public:
    explicit Host(WorkflowThread& owner) : owner_(owner) {}

    void status(const std::string& p_str) override {
        (void)owner_.onUiThread([&] { owner_.ui_.runStatus(p_str); });
    }
    void message(const std::string& text) override {
        (void)owner_.onUiThread([&] { owner_.ui_.runMessage(text); });
    }
    std::optional<std::vector<bool>> select(std::span<const std::unique_ptr<TImageData>> entries) override {
        std::optional<std::vector<bool>> ticks;
        (void)owner_.onUiThread([&] { ticks = owner_.ui_.runSelect(entries); });
        return ticks; // nothing, as Cancel, when the window went away
    }
    // The user-interface thread serves its own messages all along.
    void processMessages() override {}

private:
    WorkflowThread& owner_;
};

WorkflowThread::WorkflowThread(QObject& context, RunUi& ui) : context_(context), ui_(ui) {}

WorkflowThread::~WorkflowThread() {
    if (!worker_.joinable()) return;
    stopping_ = true;
    // The run may be waiting for a call on this thread: keep serving them (they return at once
    // now) until the worker is through its end steps.
    while (!workerDone_) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker_.join();
}

void WorkflowThread::start(const ui::RunRequest& request) {
    if (worker_.joinable()) return; // one run at a time; the buttons make sure of it
    workerDone_ = false;
    worker_ = std::thread([this, request] { run(request); });
}

void WorkflowThread::run(ui::RunRequest request) {
    ui::RunEnd end = ui::RunEnd::Returned;
    std::string errorText;
    try {
        Host host(*this);
        if (request.kind == ui::RunKind::Cines) (void)GetCines(*request.device, request.folder, host, *request.v_usb);
        else (void)GetImages(*request.device, request.folder, host, *request.v_usb);
    } catch (const std::exception& e) {
        end = ui::RunEnd::Raised;
        errorText = e.what();
    } catch (...) {
        end = ui::RunEnd::Raised;
        errorText = "An unknown error ended the run.";
    }
    if (stopping_) {
        workerDone_ = true;
        return;
    }
    QMetaObject::invokeMethod(
        &context_,
        [this, end, errorText] {
            if (stopping_) return;
            if (worker_.joinable()) worker_.join();
            ui_.runEnded(end, errorText);
        },
        Qt::QueuedConnection);
    workerDone_ = true;
}

} // namespace kelvo::transfer
