#pragma once
// The main window: draws what MainWindowLogic holds (status text, buttons, timer, height) and
// forwards its events (show, timer, clicks, Esc, close) to it. The workflow of a run goes to a
// worker thread; its status texts, message boxes and the selection dialog come back here.
#include "TFormSelect.h"
#include "WorkflowThread.h"
#include "ui/MainWindowLogic.h"
#include "ui/SelectionLogic.h"

#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QPushButton;
class QStatusBar;

namespace kelvo::transfer {

// The folder dialog: the parent window and the folder chosen last in this session (nothing at
// first). Nothing when the user cancels.
using FolderChooser =
    std::function<std::optional<std::filesystem::path>(QWidget* parent, const std::optional<std::filesystem::path>& last)>;

// QFileDialog::getExistingDirectory, opening at the last folder or the desktop.
std::optional<std::filesystem::path> folderDialog(QWidget* parent, const std::optional<std::filesystem::path>& last);

struct TransferWindowSetup {
    DeviceBackend* backend = nullptr;
    Clock* clock = nullptr;
    platform::ProcessStarter* starter = nullptr; // opens the folder after a run
    std::string executableFileName;
    bool projectSourceFileInWorkingFolder = false;
    std::filesystem::path placementFile; // empty: none restored or saved
    FolderChooser chooseFolder = folderDialog;
};

class TForm68 final : public QWidget, public ui::MainWindowShell, private RunUi {
    Q_OBJECT
public:
    explicit TForm68(const TransferWindowSetup& setup);
    ~TForm68() override;

    QPushButton* imagesButton() const { return sButtonImages_; }
    QPushButton* breakButton() const { return sButtonBreak_; }
    QPushButton* cinesButton() const { return sButtonCines_; }
    QString statusText() const;
    const QTimer& timer() const { return Timer1_; }
    TFormSelect& selectionDialog() { return *FormSelect_; }
    ui::MainWindowLogic& logic() { return *logic_; }
    bool runInProgress() const { return logic_->runInProgress(); }

public slots:
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // ui::MainWindowShell
    void stateChanged() override;
    void errorReport(const std::string& text, const std::string& detail) override;
    std::optional<std::filesystem::path> chooseFolder() override;
    void closeWindow() override;
    ui::DesktopSize desktopSize() override;
    void applyPlacement(const ui::RestoredPlacement& placement) override;
    ui::WindowPlacement currentPlacement() override;
    // RunUi
    void runStatus(const std::string& p_str) override;
    void runMessage(const std::string& text) override;
    std::optional<std::vector<bool>> runSelect(std::span<const std::unique_ptr<TImageData>> entries) override;
    void runEnded(ui::RunEnd end, const std::string& errorText) override;

    void messageBox(const std::string& text, const std::string& detail);
    bool handleKey(QKeyEvent* event);
    void layoutControls();

    FolderChooser chooseFolder_;
    std::optional<std::filesystem::path> lastFolder_;
    bool shown_ = false;
    // Children of the window, which owns them.
    QPushButton* sButtonImages_ = nullptr;
    QPushButton* sButtonBreak_ = nullptr;
    QPushButton* sButtonCines_ = nullptr;
    QStatusBar* sStatusBar1_ = nullptr;
    QLabel* panel0_ = nullptr;
    QTimer Timer1_;
    ui::SelectionLogic selection_;
    std::unique_ptr<TFormSelect> FormSelect_;
    std::unique_ptr<ui::MainWindowLogic> logic_;
    // Last, so that it goes first: a run still in progress ends before the logic and the
    // windows it reports to.
    std::unique_ptr<WorkflowThread> runner_;
};

} // namespace kelvo::transfer
