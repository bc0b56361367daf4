#include "chip/target_identity.h"

namespace quillon {

uint16_t TargetIdentity::C() const {
    return static_cast<uint16_t>(ParseHex(ChipCode(), 4).value_or(0));
}

uint8_t TargetIdentity::V() const {
    return static_cast<uint8_t>(ParseHex(ChipVersion(), 2).value_or(0));
}

ChipTraits TargetIdentity::Traits() const {
    if (!resolved_.resolved || resolved_.chipCode != ChipCode() ||
        resolved_.chipVersion != ChipVersion()) {
        resolved_.chipCode = ChipCode();
        resolved_.chipVersion = ChipVersion();
        resolved_.traits = ChipTraitsOf(C(), V());
        resolved_.resolved = true;
    }
    return resolved_.traits;
}

}  // namespace quillon
