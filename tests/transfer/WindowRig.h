#pragma once
// The main window on the simulated scanner in virtual time, with a folder chooser and a folder
// opener the test sees, and an autopilot that acts inside the modal loops of the dialogs.
#include "SimulatedLink.h"
#include "TForm68.h"
#include "UiFakes.h"

#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvo::test {

// Serves events until `done` holds or `ms` have passed; the result of `done` at the end.
bool waitUntil(const std::function<bool()>& done, int ms = 5000);

// Steps taken in order, each once its condition holds, from inside whatever event loop runs
// (the modal dialogs have their own).
class Autopilot {
public:
    Autopilot();
    void then(std::function<bool()> when, std::function<void()> act);
    bool finished() const { return next_ >= steps_.size(); }

private:
    struct Step {
        std::function<bool()> when;
        std::function<void()> act;
    };
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QTimer timer_;
};

struct WindowRig {
    explicit WindowRig(sim::Card card = smallCard(), std::string executableFileName = "kelvo-test");
    ~WindowRig();

    std::filesystem::path folder; // what the folder chooser answers, made fresh for the rig
    int folderDialogs = 0;
    VirtualClock clock;
    sim::Scanner scanner;
    PluggableBackend backend;
    RecordingStarter starter;
    std::unique_ptr<transfer::TForm68> window;
};

// The names of the files in `folder`, sorted.
std::vector<std::string> filesIn(const std::filesystem::path& folder);

} // namespace kelvo::test
