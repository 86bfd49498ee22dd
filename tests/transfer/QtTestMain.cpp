// GoogleTest inside a QApplication: the windows need one, on the offscreen platform unless the
// environment names another.
#include "SmokySkin.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    app.setStyleSheet(kelvo::transfer::skin::styleSheet());
    return RUN_ALL_TESTS();
}
