#include "CaptionButton.h"

#include "SmokySkin.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace kelvo::transfer {

void CaptionButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    QString caption = option.text;
    caption.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); // a CR LF caption is two lines
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.setPen(isEnabled() ? skin::buttonText() : skin::disabledButtonText());
    painter.drawText(rect().adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, caption);
}

} // namespace kelvo::transfer
