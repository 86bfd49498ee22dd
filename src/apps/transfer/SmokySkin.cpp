#include "SmokySkin.h"

namespace kelvo::transfer::skin {
namespace {

QFont pixelFont(const char* family, int pixels, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif); // the nearest sans-serif face where the family is missing
    return font;
}

} // namespace

QFont windowFont() { return pixelFont("Tahoma", 11, false); }
QFont statusFont() { return pixelFont("Segoe UI", 13, true); }
QColor buttonText() { return QColor(0xec, 0xec, 0xec); }
QColor disabledButtonText() { return QColor(0x85, 0x88, 0x8c); }

QString styleSheet() {
    return QStringLiteral(R"(
QWidget#Form68, QDialog#FormSelect { background-color: #3b3e42; color: #e6e6e6; }
QPushButton {
    color: #ececec;
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5d6166, stop:1 #46494d);
    border: 1px solid #26282b;
    border-radius: 3px;
    padding: 2px;
}
QPushButton:hover { background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #6b7076, stop:1 #52565b); }
QPushButton:pressed { background-color: #393c40; }
QPushButton:focus { border: 1px solid #8fa6bf; }
QPushButton:default { border: 1px solid #9bb3cc; }
QPushButton:disabled { color: #85888c; background-color: #43464a; border: 1px solid #34363a; }
QStatusBar#sStatusBar1 { background-color: #26282b; border-top: 1px solid #1c1d1f; }
QStatusBar#sStatusBar1::item { border: none; }
QLabel#sStatusPanel0 { color: #ffffff; padding-left: 3px; }
QTreeWidget#sListView1 {
    background-color: rgb(229, 255, 255);
    color: #000000;
    border: 1px solid #26282b;
    selection-background-color: #7a95b3;
    selection-color: #ffffff;
}
QHeaderView { background-color: #4d5055; }
QHeaderView::section {
    color: #ececec;
    background-color: #4d5055;
    border: none;
    border-right: 1px solid #2f3134;
    padding: 2px 4px;
}
)");
}

} // namespace kelvo::transfer::skin
