#include <QApplication>
#include <QTest>

#include "app/app_options.h"
#include "tests/app/suites.h"

// One program for every window suite; each suite is a QObject of test slots.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    quillon::ApplyApplicationLook();
    int failures = 0;
    for (auto& suite : quillon::testing::MakeSuites()) {
        failures += QTest::qExec(suite.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
