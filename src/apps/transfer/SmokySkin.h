#pragma once
// The windows' dark skin, in the spirit of the program's "Smoky" skin: dark grey faces, light
// text, calm borders. One style sheet for the application, and the fonts of the design.
#include <QColor>
#include <QFont>
#include <QString>

namespace kelvo::transfer::skin {

QString styleSheet();
// Tahoma 11 px (the nearest face where Tahoma is missing): the windows' font.
QFont windowFont();
// Segoe UI 13 px bold (or the nearest face): the status bar's panel, drawn white.
QFont statusFont();
// The captions of the buttons, enabled and disabled.
QColor buttonText();
QColor disabledButtonText();

} // namespace kelvo::transfer::skin
