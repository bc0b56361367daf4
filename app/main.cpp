#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>
#include <initializer_list>
#include <string_view>

#include "app/app_options.h"
#include "app/main_window.h"
#include "app/platform/sibling_tool.h"
#include "app/platform/single_instance.h"
#include "config/settings_location.h"
#include "config/settings_lock.h"
#include "records/background_recorder.h"
#include "station/station.h"

namespace {
// The exit status when another station holds the settings file (sysexits' EX_TEMPFAIL).
constexpr int kExitSettingsBusy = 75;

int ShowFatal(const QString& text) {
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), text);
    return 1;
}

// --help and --version answer on standard output without opening a window, so that they work
// without a display (the manual page is generated from them).
constexpr const char* kHelp =
    "Usage: quillon [--board N] [--settings PATH] [--ini-dir DIR]\n"
    "               [--board-usb-id VVVV:PPPP] [--record URI|FILE]\n"
    "Kavo EC Quillon: programs EC and SPI flash through the Vessa download board.\n\n"
    "Options:\n"
    "  --board N        The board to work with: the device index of its driver, 0 to\n"
    "                   15 (default: $QUILLON_BOARD, else 0). One window runs per\n"
    "                   board; the window of board N > 0 says so in its title and has\n"
    "                   its own default settings file and record spool.\n"
    "  --settings PATH  Settings file to use (default: $QUILLON_SETTINGS, else\n"
    "                   $XDG_CONFIG_HOME/quillon/settings.sqlite; for board N > 0\n"
    "                   settings-board-N.sqlite). A settings file belongs to one\n"
    "                   station at a time.\n"
    "  --ini-dir DIR    Folder of the parameter (INI) files (default: $QUILLON_INI_DIR, else\n"
    "                   INI beside the program, the user's copy in\n"
    "                   $XDG_DATA_HOME/quillon/INI, or the installed set).\n"
    "  --board-usb-id VVVV:PPPP\n"
    "                   USB vendor:product ID of the board, whose plug-in and plug-out\n"
    "                   are then followed (default: $QUILLON_BOARD_USB_ID).\n"
    "  --record URI|FILE\n"
    "                   Record each unit of Auto and BurnRun: in a PostgreSQL\n"
    "                   database for a postgresql:// URI (password from ~/.pgpass or\n"
    "                   PGPASSWORD; what it cannot take waits in the spool below\n"
    "                   $XDG_STATE_HOME/quillon), else in a CSV or JSON Lines file\n"
    "                   (default: $QUILLON_RECORD).\n"
    "  -h, --help       Show this help and exit.\n"
    "  --version        Show the version and exit.\n\n"
    "Environment:\n"
    "  QUILLON_BOARD           the default of --board\n"
    "  QUILLON_DRIVER_LIBRARY  the board's driver library to bind instead of\n"
    "                          libKavoVessadll.so\n"
    "  QUILLON_INSTANCE_NAME   another single-instance name (one window per name and\n"
    "                          board)\n"
    "  QUILLON_RECORD          the default of --record\n"
    "  VESSA_SIM_SOCKET        the virtual board's socket, followed for plug-in and\n"
    "                          plug-out\n";

bool Asks(int argc, char** argv, std::initializer_list<std::string_view> names) {
    for (int i = 1; i < argc; ++i) {
        for (const std::string_view name : names) {
            if (argv[i] == name) {
                return true;
            }
        }
    }
    return false;
}
}  // namespace

int main(int argc, char** argv) {
    if (Asks(argc, argv, {"--help", "-h"})) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (Asks(argc, argv, {"--version"})) {
        std::printf("quillon %s\n", quillon::Station::kVersion);
        return 0;
    }
    QApplication application(argc, argv);
    // The application title until the start-up sequence gives it the window caption.
    QCoreApplication::setApplicationName("Kavo_NewQuillon");
    quillon::ApplyApplicationLook();

    const quillon::ParsedOptions options = quillon::ParseCommandLine(QApplication::arguments());
    if (!options.error.isEmpty()) {
        return ShowFatal(options.error);
    }
    // A second start brings the running window to the front and ends without a window.
    const int board = options.station.boardIndex;
    quillon::SingleInstance instance(quillon::SingleInstance::DefaultName(board));
    if (!instance.Claim()) {
        return 0;
    }
    if (quillon::RefuseBesideSibling()) {
        return 1;
    }
    // The settings file is this window's for its whole run; a station already using it
    // (another window, or quillon-cli) is named and this start ends.
    quillon::SettingsLock settingsLock;
    try {
        settingsLock = quillon::SettingsLock::Acquire(
            quillon::ResolveSettingsPath(options.station.settingsPath, board),
            quillon::LockWait::No);
    } catch (const quillon::SettingsFileBusy& busy) {
        QString text = QString::fromLocal8Bit(busy.what()) + ".";
        text[0] = text[0].toUpper();
        ShowFatal(text);
        return kExitSettingsBusy;
    }
    // An error that reaches this point ends the process after the operator has seen it.
    try {
        quillon::MainWindow window(options.station);
        QObject::connect(&instance, &quillon::SingleInstance::activationRequested, &window,
                         &quillon::MainWindow::BringToFront);
        quillon::BoardWatchConfig watch = quillon::BoardWatchFromEnvironment(board);
        if (options.boardUsbId) {
            watch.usbId = options.boardUsbId;
        }
        window.WatchBoard(watch);
        // Records are written off the window's thread; a record that cannot be kept at all
        // is shown in a box, a spooled one is said on standard error.
        std::unique_ptr<quillon::BackgroundRecorder> recorder;
        if (auto sink = quillon::OpenRecordSink(options.record, board)) {
            recorder = std::make_unique<quillon::BackgroundRecorder>(
                std::move(sink), [&window](const std::string& line, bool lost) {
                    std::fprintf(stderr, "quillon: %s\n", line.c_str());
                    if (lost) {
                        QMetaObject::invokeMethod(
                            &window,
                            [&window, line] {
                                window.ShowMessage(quillon::MessageKind::Warning, "Warning", line);
                            },
                            Qt::QueuedConnection);
                    }
                });
            recorder->Follow(window.GetStation());
        }
        window.RegisterHotKeys();
        window.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        return ShowFatal(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return ShowFatal("Unknown error");
    }
}
