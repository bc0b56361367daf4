#include "chip/chip_id_strings.h"

#include <string_view>

namespace quillon {

namespace {

struct AnsweredCode {
    std::string_view answered;  // the code the chip-ID read forms
    std::string_view shown;     // the chip's own code, kept in slot 0
};

// Data: the chips that answer the chip-ID read with another chip's code, one row each. A 115E
// answers as 023E (family 02 is also a USB-PD family, and 023E is of series 021x).
constexpr AnsweredCode kAnsweredCodes[] = {
    {"023E", "115E"},
};

}  // namespace

void SetChipCodeAndVersion(ChipIdStrings& idStrings, const std::array<uint8_t, 3>& id) {
    idStrings[kSlotChipCode] = HexByte(id[0]) + HexByte(id[1]);
    idStrings[kSlotChipVersion] = HexByte(id[2]);
    for (const auto& code : kAnsweredCodes) {
        if (idStrings[kSlotChipCode] == code.answered) {
            idStrings[kSlotChipCode] = code.shown;
        }
    }
}

}  // namespace quillon
