#include <QApplication>
#include <QMessageBox>

#include <exception>

#include "app/app_options.h"
#include "app/main_window.h"
#include "app/sibling_tool.h"
#include "app/single_instance.h"

namespace {
int ShowFatal(const QString& text) {
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), text);
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The application title until the start-up sequence gives it the window caption.
    QCoreApplication::setApplicationName("Kavo_NewQuillon");
    quillon::ApplyApplicationLook();

    const quillon::ParsedOptions options = quillon::ParseCommandLine(QApplication::arguments());
    if (!options.error.isEmpty()) {
        return ShowFatal(options.error);
    }
    // A second start brings the running window to the front and ends without a window.
    quillon::SingleInstance instance(quillon::SingleInstance::DefaultName());
    if (!instance.Claim()) {
        return 0;
    }
    if (quillon::RefuseBesideSibling()) {
        return 1;
    }
    // An error that reaches this point ends the process after the operator has seen it.
    try {
        quillon::MainWindow window(options.station);
        QObject::connect(&instance, &quillon::SingleInstance::activationRequested, &window,
                         &quillon::MainWindow::BringToFront);
        quillon::BoardWatchConfig watch = quillon::BoardWatchFromEnvironment();
        if (options.boardUsbId) {
            watch.usbId = options.boardUsbId;
        }
        window.WatchBoard(watch);
        window.RegisterHotKeys();
        window.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        return ShowFatal(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return ShowFatal("Unknown error");
    }
}
