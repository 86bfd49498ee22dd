#include "WindowRig.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace kelvo::test {
namespace {

std::filesystem::path freshFolder() {
    static std::atomic<int> counter{0};
    auto folder = std::filesystem::temp_directory_path() /
                  ("kelvo-transfer-test-" + std::to_string(QCoreApplication::applicationPid()) + "-" +
                   std::to_string(counter++));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace

bool waitUntil(const std::function<bool()>& done, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

Autopilot::Autopilot() {
    timer_.setInterval(2);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (finished() || !steps_[next_].when()) return;
        auto act = steps_[next_++].act; // the step may open a loop of its own
        act();
    });
    timer_.start();
}

void Autopilot::then(std::function<bool()> when, std::function<void()> act) {
    steps_.push_back({std::move(when), std::move(act)});
}

WindowRig::WindowRig(sim::Card card, std::string executableFileName)
    : folder(freshFolder()), scanner(std::move(card), clock), backend(scanner, clock) {
    transfer::TransferWindowSetup setup;
    setup.backend = &backend;
    setup.clock = &clock;
    setup.starter = &starter;
    setup.executableFileName = std::move(executableFileName);
    setup.chooseFolder = [this](QWidget*, const std::optional<std::filesystem::path>&) {
        ++folderDialogs;
        return std::optional(folder);
    };
    window = std::make_unique<transfer::TForm68>(setup);
}

WindowRig::~WindowRig() {
    window.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kelvo::test
