#include "Screenshots.h"

#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <iostream>

namespace kelvo::transfer {
namespace {

constexpr int kSettleMs = 300;

bool save(QWidget& widget, const std::filesystem::path& file) {
    const bool ok = widget.grab().save(QString::fromStdString(pathToUtf8(file)), "PNG");
    std::cerr << (ok ? "saved " : "could not save ") << pathToUtf8(file) << '\n';
    return ok;
}

class QuietStarter final : public platform::ProcessStarter {
public:
    bool shellOpen(const std::filesystem::path&) override { return false; }
    bool startDetached(const std::filesystem::path&, const std::vector<std::string>&) override { return false; }
};

} // namespace

std::unique_ptr<platform::ProcessStarter> quietStarter() { return std::make_unique<QuietStarter>(); }

FolderChooser fixedFolder(const std::filesystem::path& folder) {
    return [folder](QWidget*, const std::optional<std::filesystem::path>&) { return std::optional(folder); };
}

void takeScreenshots(TForm68& window, const std::filesystem::path& folder) {
    QTimer::singleShot(kSettleMs, &window, [&window, folder] {
        const bool connected = window.logic().a_connected();
        save(window, folder / (connected ? "transfer_main_connected.png" : "transfer_main_not_connected.png"));
        if (!connected) {
            QApplication::quit();
            return;
        }
        // The dialog runs modally inside the run's call; a timer inside its loop takes the
        // picture and cancels it, which ends the run.
        auto* poll = new QTimer(&window); // owned by the window
        QObject::connect(poll, &QTimer::timeout, &window, [&window, folder, poll] {
            TFormSelect& dialog = window.selectionDialog();
            if (!dialog.isVisible()) return;
            poll->stop();
            QTimer::singleShot(kSettleMs, &dialog, [&dialog, folder] {
                save(dialog, folder / "transfer_select.png");
                dialog.cancelButton()->click();
            });
        });
        poll->start(20);
        window.imagesButton()->click();
        // Quit once the run is over.
        auto* done = new QTimer(&window);
        QObject::connect(done, &QTimer::timeout, &window, [&window, poll] {
            if (window.runInProgress() || poll->isActive()) return;
            QApplication::quit();
        });
        done->start(50);
    });
}

} // namespace kelvo::transfer
