#pragma once

#include <filesystem>
#include <string>

#include "config/pin_sets.h"
#include "tests/support/temp_dir.h"

namespace quillon::testing {

// Puts "PinSet.ini" into a parameter-file folder; `text` is the whole file as an operator's
// bench would hold it ("[SetNum]" with "Num", then "[PinSet]" with one value per set).
inline void WritePinSetIni(const std::filesystem::path& iniFolder, const std::string& text) {
    WriteFileBytes(iniFolder / kPinSetFileName, text);
}

}  // namespace quillon::testing
