// A second start of the program: it asks the running window to come to the front and ends
// without a window of its own.

#include <gtest/gtest.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

#include "app/main_window.h"
#include "app/platform/single_instance.h"
#include "sim/in_process_driver.h"
#include "tests/support/temp_dir.h"

namespace quillon::testing {
namespace {

QString UniqueName() {
    return "quillon-test-" + QUuid::createUuid().toString(QUuid::Id128);
}

TEST(SingleInstanceTest, SecondProcessRaisesTheFirstAndEnds) {
    TempDir dir;
    const QString name = UniqueName();
    SingleInstance first(name);
    ASSERT_TRUE(first.Claim());
    MainWindow window(StationOptions{dir / "first.sqlite", {}},
                      FixedDriverLoader(sim::InProcessDriverFunctions()));
    QObject::connect(&first, &SingleInstance::activationRequested, &window,
                     &MainWindow::BringToFront);
    QSignalSpy asked(&first, &SingleInstance::activationRequested);
    window.showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isMinimized(); }, 2000));

    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLON_INSTANCE_NAME", name);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    const auto secondSettings = dir / "second.sqlite";
    second.start(QUILLON_TEST_PROGRAM, {"--settings", QString::fromStdString(secondSettings)});
    ASSERT_TRUE(second.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(secondSettings));  // it never started its window

    EXPECT_TRUE(QTest::qWaitFor([&] { return asked.count() == 1; }, 5000));
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
}

TEST(SingleInstanceTest, TheNameIsFreeAgainOnceTheFirstHasGone) {
    const QString name = UniqueName();
    {
        SingleInstance first(name);
        ASSERT_TRUE(first.Claim());
        SingleInstance later(name);
        EXPECT_FALSE(later.Claim());
    }
    SingleInstance next(name);
    EXPECT_TRUE(next.Claim());
}

}  // namespace
}  // namespace quillon::testing
