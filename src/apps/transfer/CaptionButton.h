#pragma once
// A push button whose caption wraps at word boundaries when it is wider than the button, as the
// skinned buttons of the design do ("Get Kelvo images" on a 75-pixel button). Line breaks in
// the caption are kept.
#include <QPushButton>

namespace kelvo::transfer {

class CaptionButton final : public QPushButton {
    Q_OBJECT
public:
    CaptionButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kelvo::transfer
