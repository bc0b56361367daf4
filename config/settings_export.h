#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/settings_store.h"
#include "runtime/message_log.h"
#include "runtime/operator_panel.h"

namespace quillon {

// The line of one value in a registry editor (version 4) file.
std::string RegistryExportLine(const SettingValue& value);

// The root of the key line: HKEY_CURRENT_USER on Windows, where the program keeps its store;
// HKEY_LOCAL_MACHINE elsewhere, as the file has always said.
std::string RegistryExportRoot();

// "REGEDIT4", the key line, then one line per value in the store's order.
std::vector<std::string> RegistryExportLines(const SettingsStore& store);

// The file content: every line ended by CR LF, in the system's ANSI code page on Windows
// (a line it cannot hold throws std::runtime_error naming it), UTF-8 elsewhere.
std::string RegistryExportText(const std::vector<std::string>& lines);

// The save dialog Save REG shows.
FileDialogRequest SettingsExportDialog();

// Other > Save REG: writes the export atomically to the file the operator chose (nothing:
// the dialog was cancelled), with the log lines and the events of an operation on `panel`.
// True when written. A file that cannot be written throws (the log keeps the "Saving..."
// line).
bool SaveSettingsExport(const SettingsStore& store, OperatorPanel& panel, MessageLog& log,
                        const std::optional<std::string>& chosen);

}  // namespace quillon
