#include "TFormSelect.h"

#include "SmokySkin.h"

#include <QHeaderView>
#include <QPalette>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

namespace kelvo::transfer {
namespace {

constexpr int kDesignWidth = 642;
constexpr int kDesignHeight = 482;
constexpr int kButtonWidth = 75, kButtonHeight = 73, kButtonTop = 392;
constexpr int kOkLeft = 536, kCancelLeft = 432, kCheckAllLeft = 24, kUncheckAllLeft = 120;

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

TFormSelect::TFormSelect(ui::SelectionLogic& logic, QWidget* parent) : QDialog(parent), logic_(logic) {
    setObjectName(QStringLiteral("FormSelect"));
    setWindowTitle(QString::fromLatin1(ui::select::kCaption));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(skin::windowFont());
    setSizeGripEnabled(false);
    resize(kDesignWidth, kDesignHeight);

    sListView1_ = new QTreeWidget(this);
    sListView1_->setObjectName(QStringLiteral("sListView1"));
    sListView1_->setColumnCount(3);
    sListView1_->setHeaderLabels({QString::fromLatin1(ui::select::kIdColumn), QString::fromLatin1(ui::select::kTimeColumn),
                                  QString::fromLatin1(ui::select::kDescriptionColumn)});
    sListView1_->setColumnWidth(0, ui::select::kIdColumnWidth);
    sListView1_->setColumnWidth(1, ui::select::kTimeColumnWidth);
    sListView1_->setColumnWidth(2, ui::select::kDescriptionColumnWidth);
    sListView1_->setRootIsDecorated(false);
    sListView1_->setSortingEnabled(false);
    sListView1_->setUniformRowHeights(true);
    sListView1_->header()->setStretchLastSection(false);
    sListView1_->header()->setSectionsMovable(false);
    QPalette palette = sListView1_->palette();
    palette.setColor(QPalette::Base, QColor(ui::select::kListBackgroundRed, ui::select::kListBackgroundGreen,
                                            ui::select::kListBackgroundBlue));
    palette.setColor(QPalette::Text, Qt::black);
    sListView1_->setPalette(palette);

    auto button = [this](const char* caption, const char* name) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    ok_ = button(ui::select::kOkCaption, "sButtonCines");
    cancel_ = button(ui::select::kCancelCaption, "sButton1");
    checkAll_ = button(ui::select::kCheckAllCaption, "sButton2");
    uncheckAll_ = button(ui::select::kUncheckAllCaption, "sButton3");
    ok_->setDefault(true); // Enter; Esc rejects the dialog, as the cancel button

    connect(ok_, &QPushButton::clicked, this, [this] { done(ui::kModalOk); });
    connect(cancel_, &QPushButton::clicked, this, [this] { done(ui::kModalCancel); });
    connect(checkAll_, &QPushButton::clicked, this, [this] { sButton2Click(ui::select::kCheckAllTag); });
    connect(uncheckAll_, &QPushButton::clicked, this, [this] { sButton2Click(ui::select::kUncheckAllTag); });
    connect(sListView1_, &QTreeWidget::itemChanged, this, &TFormSelect::itemChanged);
}

int TFormSelect::showModal() {
    refresh();
    ok_->setFocus();
    const int result = exec();
    // Esc and the close box give QDialog's Rejected (0): a result other than OK.
    return result == ui::kModalOk ? ui::kModalOk : ui::kModalCancel;
}

void TFormSelect::refresh() {
    drawing_ = true;
    sListView1_->clear();
    for (const auto& row : logic_.rows()) {
        auto* item = new QTreeWidgetItem(sListView1_); // owned by the list
        item->setText(0, fromUtf8(row.id));
        item->setText(1, fromUtf8(row.time));
        item->setText(2, fromUtf8(row.description));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
    }
    drawing_ = false;
}

void TFormSelect::sButton2Click(int tag) {
    logic_.sButton2Click(tag);
    refresh();
}

void TFormSelect::itemChanged(QTreeWidgetItem* item, int column) {
    if (drawing_ || column != 0) return;
    const int row = sListView1_->indexOfTopLevelItem(item);
    if (row >= 0) logic_.setChecked(static_cast<std::size_t>(row), item->checkState(0) == Qt::Checked);
}

void TFormSelect::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The list is anchored to all four edges, the buttons to the right and bottom.
    const int dx = width() - kDesignWidth;
    const int dy = height() - kDesignHeight;
    sListView1_->setGeometry(8, 8, std::max(0, 626 + dx), std::max(0, 361 + dy));
    ok_->setGeometry(kOkLeft + dx, kButtonTop + dy, kButtonWidth, kButtonHeight);
    cancel_->setGeometry(kCancelLeft + dx, kButtonTop + dy, kButtonWidth, kButtonHeight);
    checkAll_->setGeometry(kCheckAllLeft + dx, kButtonTop + dy, kButtonWidth, kButtonHeight);
    uncheckAll_->setGeometry(kUncheckAllLeft + dx, kButtonTop + dy, kButtonWidth, kButtonHeight);
}

} // namespace kelvo::transfer
