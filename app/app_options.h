#pragma once

#include <QStringList>

#include <optional>

#include "station/station.h"

namespace quillon {

struct ParsedOptions {
    StationOptions station;
    QString error;  // set when the command line cannot be used
};

// "--settings PATH" chooses the settings file, "--ini-dir DIR" the parameter-file folder.
ParsedOptions ParseCommandLine(const QStringList& arguments);

// The process-wide look: one style on every desktop.
void ApplyApplicationLook();

}  // namespace quillon
