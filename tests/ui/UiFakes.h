#pragma once
// Stand-ins for what the windows give the main window's logic: a backend whose scanner can be
// unplugged, a shell that records, a starter that starts nothing.
#include "device/sim/SimulatorBackend.h"
#include "platform/ProcessStarter.h"
#include "ui/MainWindowLogic.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelvo::test {

// The simulated scanner's route, with the scanner plugged in or not, and faults of its own.
class PluggableBackend final : public DeviceBackend {
public:
    PluggableBackend(sim::Scanner& scanner, Clock& clock) : inner_(scanner, clock) {}
    bool initLib() override;
    bool findDevice(std::string& p_path, int p_typ) override;
    std::unique_ptr<UsbPort> openDevice(const std::string& p_path) override;

    bool plugged = false;
    bool initFails = false;
    bool openFails = false;
    int initCalls = 0;
    int findCalls = 0;
    int opens = 0;

private:
    SimulatorBackend inner_;
};

class RecordingShell final : public ui::MainWindowShell {
public:
    void stateChanged() override { ++changes; }
    void errorReport(const std::string& text, const std::string& detail) override;
    std::optional<std::filesystem::path> chooseFolder() override;
    void closeWindow() override { ++closeRequests; }
    ui::DesktopSize desktopSize() override { return desktop; }
    void applyPlacement(const ui::RestoredPlacement& placement) override { applied.push_back(placement); }
    ui::WindowPlacement currentPlacement() override { return current; }

    int changes = 0;
    std::vector<std::string> errors;
    std::function<void()> duringErrorReport;
    std::optional<std::filesystem::path> folder = std::filesystem::path("/target");
    int folderDialogs = 0;
    std::function<void()> duringFolderDialog;
    int closeRequests = 0;
    ui::DesktopSize desktop{1920, 1080};
    std::vector<ui::RestoredPlacement> applied;
    ui::WindowPlacement current;
};

class RecordingStarter final : public platform::ProcessStarter {
public:
    bool shellOpen(const std::filesystem::path& file) override {
        opened.push_back(file);
        return answer;
    }
    bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) override {
        started.push_back({program, arguments});
        return answer;
    }
    struct Start {
        std::filesystem::path program;
        std::vector<std::string> arguments;
    };
    std::vector<std::filesystem::path> opened;
    std::vector<Start> started;
    bool answer = true;
};

// Remembers what it was asked to run; the test plays the worker.
class RecordingRunner final : public ui::WorkflowRunner {
public:
    void start(const ui::RunRequest& request) override {
        requests.push_back(request);
        if (onStart) onStart(request);
    }
    std::vector<ui::RunRequest> requests;
    std::function<void(const ui::RunRequest&)> onStart;
};

} // namespace kelvo::test
