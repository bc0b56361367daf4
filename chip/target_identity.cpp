#include "chip/target_identity.h"

#include <utility>

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

FlashPartTraits TargetIdentity::FlashPart() const {
    FlashPartKey key = JedecKeyOf(chipIdStrings);
    if (!resolvedFlash_.resolved || resolvedFlash_.key != key) {
        resolvedFlash_.traits = FlashPartTraitsOf(key);
        resolvedFlash_.key = std::move(key);
        resolvedFlash_.resolved = true;
    }
    return resolvedFlash_.traits;
}

}  // namespace quillon
