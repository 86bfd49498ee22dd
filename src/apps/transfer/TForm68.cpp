#include "TForm68.h"

#include "CaptionButton.h"
#include "SmokySkin.h"
#include "ui/MainWindowLayout.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>

namespace kelvo::transfer {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Message texts break their lines with CR LF; a Qt label wants LF alone.
QString messageText(const std::string& text) { return fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

void place(QWidget& widget, const ui::layout::Box& box) { widget.setGeometry(box.left, box.top, box.width, box.height); }

} // namespace

std::optional<std::filesystem::path> folderDialog(QWidget* parent, const std::optional<std::filesystem::path>& last) {
    const QString start = last ? QString::fromStdString(pathToUtf8(*last))
                               : QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString chosen = QFileDialog::getExistingDirectory(parent, QString(), start, QFileDialog::ShowDirsOnly);
    // Every choice of this dialog is a folder of the file system: nothing else can be picked.
    if (chosen.isEmpty()) return std::nullopt;
    const QByteArray utf8 = chosen.toUtf8();
    return platform::pathFromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

TForm68::TForm68(const TransferWindowSetup& setup) : chooseFolder_(setup.chooseFolder) {
    using namespace ui::layout;
    setObjectName(QStringLiteral("Form68"));
    setWindowTitle(QStringLiteral("Kelvo"));
    // A fixed dialog border: no resizing, no minimise or maximise button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(skin::windowFont());
    setFixedSize(kClientWidth, kClientHeight);

    sButtonImages_ = new CaptionButton(QStringLiteral("Get Kelvo images"), this);
    sButtonImages_->setObjectName(QStringLiteral("sButtonImages"));
    sButtonBreak_ = new CaptionButton(QStringLiteral("Break"), this);
    sButtonBreak_->setObjectName(QStringLiteral("sButtonBreak"));
    sButtonCines_ = new CaptionButton(QStringLiteral("Get Kelvo\r\ncines"), this);
    sButtonCines_->setObjectName(QStringLiteral("sButtonCines"));
    for (QPushButton* b : {sButtonImages_, sButtonBreak_, sButtonCines_}) {
        b->setEnabled(false);
        // Key preview: the window sees Esc before the focused button does.
        b->installEventFilter(this);
    }
    setTabOrder(sButtonImages_, sButtonBreak_);
    setTabOrder(sButtonBreak_, sButtonCines_);

    sStatusBar1_ = new QStatusBar(this);
    sStatusBar1_->setObjectName(QStringLiteral("sStatusBar1"));
    sStatusBar1_->setSizeGripEnabled(false);
    panel0_ = new QLabel(sStatusBar1_);
    panel0_->setObjectName(QStringLiteral("sStatusPanel0"));
    panel0_->setFont(skin::statusFont());
    panel0_->setFixedWidth(kStatusPanelWidth);
    sStatusBar1_->addWidget(panel0_);

    connect(sButtonImages_, &QPushButton::clicked, this, [this] { logic_->sButtonImagesClick(ui::kImagesTag); });
    connect(sButtonCines_, &QPushButton::clicked, this, [this] { logic_->sButtonImagesClick(ui::kCinesTag); });
    connect(sButtonBreak_, &QPushButton::clicked, this, [this] { logic_->sButtonBreakClick(); });

    FormSelect_ = std::make_unique<TFormSelect>(selection_, this);
    RunUi& runUi = *this; // a private base, reachable from here only
    runner_ = std::make_unique<WorkflowThread>(*this, runUi);

    ui::MainWindowSetup s;
    s.backend = setup.backend;
    s.clock = setup.clock;
    s.shell = this;
    s.runner = runner_.get();
    s.starter = setup.starter;
    s.executableFileName = setup.executableFileName;
    s.projectSourceFileInWorkingFolder = setup.projectSourceFileInWorkingFolder;
    s.placementFile = setup.placementFile;
    logic_ = std::make_unique<ui::MainWindowLogic>(s);

    Timer1_.setInterval(1000);
    connect(&Timer1_, &QTimer::timeout, this, &TForm68::Timer1Timer);
    layoutControls();
    stateChanged(); // the timer runs from here on
}

TForm68::~TForm68() {
    runner_.reset();
    logic_->FormDestroy();
}

QString TForm68::statusText() const { return panel0_->text(); }

void TForm68::Timer1Timer() { logic_->Timer1Timer(); }

void TForm68::stateChanged() {
    panel0_->setText(fromUtf8(logic_->statusText()));
    const ui::ButtonStates b = logic_->buttons();
    sButtonImages_->setEnabled(b.images);
    sButtonCines_->setEnabled(b.cines);
    sButtonBreak_->setEnabled(b.breakButton);
    if (!logic_->timerEnabled()) Timer1_.stop();
    else if (!Timer1_.isActive()) Timer1_.start();
    if (const auto outer = logic_->windowHeight()) {
        const int client = ui::layout::clientHeightFor(*outer);
        if (height() != client) setFixedSize(ui::layout::kClientWidth, client);
    }
}

void TForm68::layoutControls() {
    using namespace ui::layout;
    place(*sButtonImages_, kImagesButton);
    place(*sButtonCines_, kCinesButton);
    sButtonBreak_->setGeometry(kBreakButton.left, kBreakButton.top, kBreakButton.width, breakButtonHeight(height()));
    sStatusBar1_->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
}

void TForm68::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

void TForm68::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    logic_->FormShow();
}

void TForm68::closeEvent(QCloseEvent* event) {
    if (logic_->FormCloseQuery() == ui::CloseAnswer::Now) event->accept();
    else event->ignore(); // the run breaks off and the window closes itself afterwards
}

bool TForm68::handleKey(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape) return false;
    return logic_->FormKeyDown(ui::kEscKey);
}

void TForm68::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event)) QWidget::keyPressEvent(event);
}

bool TForm68::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event))) return true;
    return QWidget::eventFilter(watched, event);
}

void TForm68::messageBox(const std::string& text, const std::string& detail) {
    QMessageBox box(QMessageBox::Critical, fromUtf8(logic_->title()), messageText(text), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("messageBox"));
    if (!detail.empty()) box.setInformativeText(messageText(detail));
    box.exec();
}

void TForm68::errorReport(const std::string& text, const std::string& detail) { messageBox(text, detail); }

std::optional<std::filesystem::path> TForm68::chooseFolder() {
    auto folder = chooseFolder_(this, lastFolder_);
    if (folder) lastFolder_ = folder;
    return folder;
}

void TForm68::closeWindow() {
    // Later, from the event loop: the logic is not re-entered from inside its own handler.
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

ui::DesktopSize TForm68::desktopSize() {
    const QScreen* s = screen();
    if (!s) return {};
    const QRect g = s->geometry();
    return {g.width(), g.height()};
}

void TForm68::applyPlacement(const ui::RestoredPlacement& placement) {
    if (placement.position) move(placement.position->x, placement.position->y);
    // A fixed dialog cannot be maximised; a minimised one comes back minimised.
    if (placement.showCmd == ui::kShowMinimized) setWindowState(windowState() | Qt::WindowMinimized);
}

ui::WindowPlacement TForm68::currentPlacement() {
    ui::WindowPlacement p;
    p.showCmd = isMinimized() ? ui::kShowMinimized : ui::kShowNormal;
    const QRect g = frameGeometry();
    p.normalPosition = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    if (const QScreen* s = screen()) p.pixelsPerInch = static_cast<int>(s->logicalDotsPerInch() + 0.5);
    return p;
}

void TForm68::runStatus(const std::string& p_str) { logic_->UpdateSTR(p_str); }

void TForm68::runMessage(const std::string& text) { messageBox(text, {}); }

std::optional<std::vector<bool>> TForm68::runSelect(std::span<const std::unique_ptr<TImageData>> entries) {
    return ui::selectThroughDialog(selection_, entries, [this](ui::SelectionLogic&) { return FormSelect_->showModal(); });
}

void TForm68::runEnded(ui::RunEnd end, const std::string& errorText) { logic_->runFinished(end, errorText); }

} // namespace kelvo::transfer
