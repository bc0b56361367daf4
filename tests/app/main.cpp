#include <QApplication>
#include <QFont>
#include <QTest>

#include "app/app_options.h"
#include "tests/app/suites.h"

// One program for every window suite; each suite is a QObject of test slots.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    quillon::ApplyApplicationLook();
#ifdef _WIN32
    // The offscreen platform has no system theme on Windows and would lay the window out in
    // a 12-point font; the tests judge the layout in the font Linux's theme gives (QT_QPA_
    // FONTDIR names its folder), which is wider than the Windows system font.
    if (QGuiApplication::platformName() == "offscreen") {
        QFont font("DejaVu Sans", 9);
        font.setHintingPreference(QFont::PreferNoHinting);
        QApplication::setFont(font);
    }
#endif
    int failures = 0;
    for (auto& suite : quillon::testing::MakeSuites()) {
        failures += QTest::qExec(suite.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
