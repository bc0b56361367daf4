#include <gtest/gtest.h>

#include <QApplication>

#include "app/app_options.h"

// The suites need a QApplication (windows, socket notifiers, local sockets).
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Windows stay off any screen; the X server the X11 tests need is their own.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    quillon::ApplyApplicationLook();
    return RUN_ALL_TESTS();
}
