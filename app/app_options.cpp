#include "app/app_options.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QStyleFactory>

#include <stdexcept>

#include "config/board_index.h"

namespace quillon {

namespace {

// A name from the command line as the core takes it: the file system's own bytes on Linux;
// UTF-8 on Windows, where the core widens it for the system's calls.
std::string PathBytes(const QString& name) {
#ifdef _WIN32
    return name.toStdString();
#else
    return QFile::encodeName(name).toStdString();
#endif
}

}  // namespace

ParsedOptions ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Kavo EC Quillon: programs EC and SPI flash through Vessa");
    const QCommandLineOption settings("settings", "Settings file to use.", "PATH");
    const QCommandLineOption iniDir("ini-dir", "Folder of the parameter (INI) files.", "DIR");
    const QCommandLineOption usbId("board-usb-id", "USB vendor:product ID of the board.",
                                   "VVVV:PPPP");
    const QCommandLineOption record("record", "Where each unit's record goes.", "URI|FILE");
    const QCommandLineOption board("board", "The board's device index, 0 to 15.", "N");
    parser.addOptions({settings, iniDir, usbId, record, board});
    parser.addHelpOption();

    ParsedOptions parsed;
    if (!parser.parse(arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    if (parser.isSet("help")) {
        parsed.error = parser.helpText();
        return parsed;
    }
    if (!parser.positionalArguments().isEmpty()) {
        parsed.error = QString("Unexpected argument '%1'.").arg(parser.positionalArguments()[0]);
        return parsed;
    }
    try {
        parsed.station.boardIndex = ChooseBoardIndex(
            parser.isSet(board) ? std::optional<std::string>(parser.value(board).toStdString())
                                : std::nullopt);
    } catch (const std::invalid_argument& error) {
        parsed.error = QString::fromStdString(error.what()) + ".";
        return parsed;
    }
    if (parser.isSet(settings)) {
        parsed.station.settingsPath = PathBytes(parser.value(settings));
    }
    if (parser.isSet(iniDir)) {
        parsed.station.iniFolder = PathBytes(parser.value(iniDir));
    }
    try {
        parsed.record =
            RecordTargetOrDefault(parser.isSet(record) ? PathBytes(parser.value(record)) : "");
    } catch (const RecordTargetError& error) {
        parsed.error = QString::fromStdString(error.what());
        return parsed;
    }
    if (parser.isSet(usbId)) {
        parsed.boardUsbId = ParseUsbDeviceId(parser.value(usbId));
        if (!parsed.boardUsbId) {
            parsed.error = QString(
                               "--board-usb-id '%1' is not VVVV:PPPP (four hexadecimal "
                               "digits each).")
                               .arg(parser.value(usbId));
        }
    }
    return parsed;
}

void ApplyApplicationLook() {
    if (QStyle* fusion = QStyleFactory::create("Fusion")) {
        QApplication::setStyle(fusion);
    }
}

}  // namespace quillon
