#pragma once

#include <QStringList>

#include <optional>

#include "app/platform/device_watcher.h"
#include "records/record_target.h"
#include "station/station.h"

namespace quillon {

struct ParsedOptions {
    StationOptions station;
    // "--board-usb-id VVVV:PPPP": the real board's USB IDs (else QUILLON_BOARD_USB_ID).
    std::optional<UsbDeviceId> boardUsbId;
    // "--record URI|FILE": where each unit of Auto and BurnRun is recorded (else
    // QUILLON_RECORD; neither: nowhere).
    RecordTarget record;
    QString error;  // set when the command line cannot be used
};

// "--settings PATH" chooses the settings file, "--ini-dir DIR" the parameter-file folder,
// "--board-usb-id VVVV:PPPP" the USB device taken for the board, "--record URI|FILE" where
// the units' records go, "--board N" (else QUILLON_BOARD, else 0) the board's device index.
ParsedOptions ParseCommandLine(const QStringList& arguments);

// The process-wide look: one style on every desktop.
void ApplyApplicationLook();

}  // namespace quillon
