// The sibling tool's window and the system-wide hot keys, on the suite's own X server while
// another X client has the keyboard focus.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/main_page.h"
#include "app/main_window.h"
#include "app/platform/global_hot_keys.h"
#include "app/platform/sibling_tool.h"
#include "config/setting_names.h"
#include "config/sqlite_settings_store.h"
#include "sim/in_process_driver.h"
#include "tests/shell/x_server.h"
#include "tests/support/temp_dir.h"

namespace quillon::testing {
namespace {

// Closes the next modal box once it shows, noting its title and text.
struct SeenBox {
    QString title;
    QString text;
};
void AnswerNextBox(SeenBox& seen, int attempts = 500) {
    QTimer::singleShot(10, [&seen, attempts] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = {box->windowTitle(), box->text()};
            box->accept();
        } else if (attempts > 0) {
            AnswerNextBox(seen, attempts - 1);
        }
    });
}

class X11Shell : public ::testing::Test {
protected:
    void SetUp() override {
        server = XServer::Shared();
        if (server == nullptr) {
            GTEST_SKIP() << "no X server could be started (Xvfb)";
        }
    }
    // Presses keys with xdotool; waits for the spy to reach `count`.
    void Press(const std::string& keys) {
        ASSERT_TRUE(server->Keys(keys)) << "xdotool key " << keys;
    }
    XServer* server = nullptr;
};

TEST_F(X11Shell, SiblingToolIsFoundByItsExactTitleAndRefusesTheStart) {
    EXPECT_FALSE(SiblingToolRunning());
    {
        ClientWindow other("Kavo_NewMarlot_Osk 2");
        EXPECT_FALSE(SiblingToolRunning());
        EXPECT_FALSE(RefuseBesideSibling());
    }
    ClientWindow sibling("Kavo_NewMarlot_Osk");
    EXPECT_TRUE(SiblingToolRunning());
    SeenBox seen;
    AnswerNextBox(seen);
    EXPECT_TRUE(RefuseBesideSibling());
    EXPECT_EQ(seen.title, "Warning");
    EXPECT_EQ(seen.text, "Please close another Application!");
}

TEST_F(X11Shell, HotKeysReachUsWhileAnotherClientHasTheFocus) {
    ClientWindow other("an editor");
    other.Focus();
    GlobalHotKeys keys;
    QSignalSpy reload(&keys, &GlobalHotKeys::reloadPressed);
    QSignalSpy autoRun(&keys, &GlobalHotKeys::autoPressed);
    ASSERT_TRUE(keys.Register());

    Press("ctrl+alt+r");
    EXPECT_TRUE(QTest::qWaitFor([&] { return reload.count() == 1; }, 5000));
    Press("ctrl+alt+a");
    EXPECT_TRUE(QTest::qWaitFor([&] { return autoRun.count() == 1; }, 5000));

    // NumLock and CapsLock on: the same keys.
    Press("Num_Lock");
    Press("Caps_Lock");
    Press("ctrl+alt+a");
    EXPECT_TRUE(QTest::qWaitFor([&] { return autoRun.count() == 2; }, 5000));
    Press("Num_Lock");
    Press("Caps_Lock");

    // Other combinations are not ours.
    Press("ctrl+r");
    Press("alt+a");
    Press("ctrl+alt+shift+r");
    QTest::qWait(200);
    EXPECT_EQ(reload.count(), 1);
    EXPECT_EQ(autoRun.count(), 2);
}

TEST_F(X11Shell, KeyHeldByAnotherClientIsLeftOutAndTheOtherStillWorks) {
    ClientWindow other("holds Ctrl+Alt+R");
    other.GrabCtrlAlt('r');
    GlobalHotKeys keys;
    QSignalSpy reload(&keys, &GlobalHotKeys::reloadPressed);
    QSignalSpy autoRun(&keys, &GlobalHotKeys::autoPressed);
    EXPECT_FALSE(keys.Register());
    Press("ctrl+alt+a");
    EXPECT_TRUE(QTest::qWaitFor([&] { return autoRun.count() == 1; }, 5000));
    Press("ctrl+alt+r");
    QTest::qWait(200);
    EXPECT_EQ(reload.count(), 0);
}

TEST_F(X11Shell, KeysAreReleasedWhenTheOwnerGoes) {
    {
        GlobalHotKeys first;
        ASSERT_TRUE(first.Register());
    }
    GlobalHotKeys second;
    EXPECT_TRUE(second.Register());
}

TEST_F(X11Shell, WindowHotKeysPressAutoAndReloadTheLastImage) {
    TempDir dir;
    MainWindow window(StationOptions{dir / "settings.sqlite", {}},
                      FixedDriverLoader(sim::InProcessDriverFunctions()));
    window.RegisterHotKeys();
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.GetStation().StartupDone(); }, 5000));
    QTest::qWait(50);
    auto* autoButton = window.findChild<QPushButton*>("BitBtn_AutoRun");
    ASSERT_NE(autoButton, nullptr);
    QSignalSpy clicked(autoButton, &QPushButton::clicked);

    ClientWindow other("an editor");
    other.Focus();
    // Auto runs and, with no image loaded, refuses in its box.
    SeenBox refused;
    AnswerNextBox(refused);
    Press("ctrl+alt+a");
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicked.count() == 1; }, 5000));
    EXPECT_EQ(refused.text, "Please Open BIN File First or Choice Flash Type !");

    // No image was loaded yet: the reload says so.
    SeenBox seen;
    AnswerNextBox(seen);
    Press("ctrl+alt+r");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !seen.text.isEmpty(); }, 5000));
    EXPECT_EQ(seen.text, "Please Open BIN File first !");
}

TEST(WindowClose, PdModeWarnsBeforeThePdControllerResets) {
    TempDir dir;
    {
        auto store = SqliteSettingsStore::Open(dir / "settings.sqlite");
        store->WriteInt(setting::kConnectMode, 4);
    }
    MainWindow window(StationOptions{dir / "settings.sqlite", {}},
                      FixedDriverLoader(sim::InProcessDriverFunctions()));
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.GetStation().StartupDone(); }, 5000));
    QTest::qWait(50);
    SeenBox seen;
    AnswerNextBox(seen);
    window.close();
    EXPECT_EQ(seen.title, "Reset PD");
    EXPECT_EQ(seen.text,
              "Exiting test mode will cause the PD to reset. The system will suddenly shut down!!");
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace quillon::testing
