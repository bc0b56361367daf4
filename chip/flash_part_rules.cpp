#include "chip/flash_part_rules.h"

#include <algorithm>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace quillon {

namespace {

// The parts one rule names: every field that is not empty must match the key exactly.
struct PartMatch {
    std::string_view jedecManufacturer;
    std::vector<std::string_view> jedecMemoryTypes;  // any of them
    std::string_view jedecCapacity;
    std::string_view maker;
    std::string_view part;
};

PartMatch Jedec(std::string_view manufacturer, std::vector<std::string_view> memoryTypes = {},
                std::string_view capacity = {}) {
    return {manufacturer, std::move(memoryTypes), capacity, {}, {}};
}

PartMatch MakerNamed(std::string_view maker) {
    return {{}, {}, {}, maker, {}};
}

PartMatch PartNamed(std::string_view part) {
    return {{}, {}, {}, {}, part};
}

struct PartRule {
    PartMatch parts;
    std::variant<bool FlashPartTraits::*, StatusPreset> trait;
};

// The one table of part-specific behaviour: data, one row per part (or maker) with a rule.
// A new rule for a known kind of behaviour is a new row here; a new kind is a new field of
// FlashPartTraits.
const std::vector<PartRule>& PartRuleTable() {
    using T = FlashPartTraits;
    static const std::vector<PartRule> table = {
        // SST parts with a JEDEC ID take their status bytes another way. An older SST part
        // without one has no JEDEC texts and is not named here.
        {Jedec("BF"), &T::statusByOtherMeans},
        // GigaDevice dies inside the controller: status 00 02, written as two bytes at once.
        {Jedec("C8", {"60", "65"}, "14"), StatusPreset{"00", "02", true}},
        // The USB-PD controller's own flash.
        {Jedec("FF", {"FF"}, "FE"), &T::pdControllerFlash},
        // Macronix MX25L12845E in the board's socket.
        {PartNamed("MX25L12845E"), &T::socketEraseWholeByBlocks},
        // The controllers' embedded flash, listed under the maker "Kavo".
        {MakerNamed("Kavo"), &T::controllersOwnEFlash},
    };
    return table;
}

bool FieldMatches(std::string_view wanted, const std::string& value) {
    return wanted.empty() || wanted == value;
}

bool Matches(const PartMatch& match, const FlashPartKey& key) {
    const auto& types = match.jedecMemoryTypes;
    return FieldMatches(match.jedecManufacturer, key.jedecManufacturer) &&
           (types.empty() ||
            std::find(types.begin(), types.end(), key.jedecMemoryType) != types.end()) &&
           FieldMatches(match.jedecCapacity, key.jedecCapacity) &&
           FieldMatches(match.maker, key.maker) && FieldMatches(match.part, key.part);
}

}  // namespace

FlashPartKey JedecKeyOf(const ChipIdStrings& slots) {
    FlashPartKey key;
    key.jedecManufacturer = slots[kSlotJedecManufacturer];
    key.jedecMemoryType = slots[kSlotJedecMemoryType];
    key.jedecCapacity = slots[kSlotJedecCapacity];
    return key;
}

FlashPartTraits FlashPartTraitsOf(const FlashPartKey& key) {
    FlashPartTraits traits;
    for (const auto& rule : PartRuleTable()) {
        if (!Matches(rule.parts, key)) {
            continue;
        }
        std::visit(
            [&traits](const auto& trait) {
                using Trait = std::decay_t<decltype(trait)>;
                if constexpr (std::is_same_v<Trait, StatusPreset>) {
                    traits.internalFlashStatus = trait;
                } else {
                    traits.*trait = true;
                }
            },
            rule.trait);
    }
    return traits;
}

}  // namespace quillon
