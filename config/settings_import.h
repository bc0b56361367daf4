#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/settings_store.h"

namespace quillon {

// What is wrong with a registry file, and on which line (1-based).
struct RegistryImportProblem {
    int line = 0;
    std::string reason;
};

// A registry editor (version 4) file of the settings key, read but not yet stored.
struct RegistryImport {
    std::vector<SettingValue> values;  // in file order
    std::optional<RegistryImportProblem> problem;
};

// Reads the text of a REGEDIT4 file of the key SOFTWARE\Kavo\Vessa_Quillon: the value
// forms Save REG writes ("name"="text", "name"=dword:XXXXXXXX, "name"=hex:.., the string
// form "name"=hex(1):..,00), with blank lines, ";" comments, CR LF or LF ends and "\"
// continuations of hex lists. Another key, a malformed line or a value of the wrong kind
// for a known setting stops the reading at that line. The key may stand under
// HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER. On Windows a file that is not UTF-8 is read in the
// system's ANSI code page.
RegistryImport ParseRegistryImport(const std::string& bytes);

// The type a setting the program knows must have; nothing for a name it does not know.
std::optional<SettingType> KnownSettingType(const std::string& name);

// Stores every value with its type, in one batch: the store keeps all of them or, after a
// crash or an error, none. Only call with an import that has no problem.
void StoreRegistryImport(const RegistryImport& import, SettingsStore& store);

}  // namespace quillon
