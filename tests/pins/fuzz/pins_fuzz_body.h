#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "config/ini_profile.h"
#include "config/pin_sets.h"

namespace quillon {

// One fuzz input, taken both as a bin file (marker search) and as pin-set text (the value
// parser, and the same text read as a "PinSet.ini"). Shared by the libFuzzer target and the
// corpus replay test.
inline void FuzzPinInputs(const uint8_t* data, std::size_t size) {
    const std::span<const uint8_t> file(data, size);
    if (const auto codes = FindPinCodes(file)) {
        // The codes are 15 bytes of the file, so the search stayed inside it.
        (void)DefinitionFromCodes(*codes);
    }

    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto check = [](const std::string& value) {
        const PinParse parsed = ParsePinSetValue(value);
        if (!parsed.definition) {
            return;
        }
        // Every pin is in the table, and the labels give back a value with the same pins.
        for (const uint8_t pin : parsed.definition->numbers) {
            if (!PinCodeOf(pin)) {
                __builtin_trap();
            }
        }
        const auto pins = PinsTextOfLabels(parsed.definition->labels);
        if (!pins) {
            __builtin_trap();
        }
        const PinParse again = ParsePinSetValue(*pins + PinSetName(value));
        if (!again.definition || again.definition->numbers != parsed.definition->numbers) {
            __builtin_trap();
        }
    };
    check(text);
    const IniDocument document(text);
    check(document.Read("PinSet", "0", ""));
    (void)document.Read("SetNum", "Num", "1");
}

}  // namespace quillon
