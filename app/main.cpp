#include <QApplication>
#include <QMessageBox>

#include <exception>

#include "app/app_options.h"
#include "app/main_window.h"

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
    // An error that reaches this point ends the process after the operator has seen it.
    try {
        quillon::MainWindow window(options.station);
        window.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        return ShowFatal(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return ShowFatal("Unknown error");
    }
}
