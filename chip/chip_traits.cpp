#include "chip/chip_traits.h"

#include <algorithm>
#include <type_traits>
#include <variant>
#include <vector>

#include "chip/chip_groups.h"

namespace quillon {

namespace {

// One rule: the chips it names (optionally only with some versions) get one trait.
struct FixedSize {
    uint16_t kb;
};

struct PdFlashVariant {
    uint8_t variant;
};

struct TraitRule {
    std::variant<bool ChipTraits::*, ClockSwitch, PdSizing, ConfigByteSizing, FixedSize,
                 PdFlashVariant>
        trait;
    ChipSet chips;
    std::vector<uint8_t> versions;  // empty: every version
};

// The versions from `first` to 0xFF.
std::vector<uint8_t> VersionsFrom(unsigned first) {
    std::vector<uint8_t> versions;
    for (unsigned v = first; v <= 0xFF; ++v) {
        versions.push_back(static_cast<uint8_t>(v));
    }
    return versions;
}

// The versions whose low seven bits are `first` or more (the top bit is not counted).
std::vector<uint8_t> VersionsLow7From(unsigned first) {
    std::vector<uint8_t> versions;
    for (unsigned v = 0; v <= 0xFF; ++v) {
        if ((v & 0x7F) >= first) {
            versions.push_back(static_cast<uint8_t>(v));
        }
    }
    return versions;
}

std::vector<uint8_t> VersionsBelow(unsigned end) {
    std::vector<uint8_t> versions;
    for (unsigned v = 0; v < end; ++v) {
        versions.push_back(static_cast<uint8_t>(v));
    }
    return versions;
}

// The one table of chip-specific behaviour. A new chip rule is a new row here (and a new
// field of ChipTraits when it is a new kind of behaviour). Rows that set the same kind of
// trait (an enum) are applied in order: a later row wins.
const std::vector<TraitRule>& TraitTable() {
    using T = ChipTraits;
    static const std::vector<TraitRule> table = {
        // The chip groups.
        {&T::knownFamily, Groups({ChipGroup::KnownFamilies}), {}},
        {&T::eFlashOnly, Groups({ChipGroup::EFlashOnly}), {}},
        {&T::romCodeFamily, Groups({ChipGroup::RomCodeFamilies}), {}},
        {&T::eflashSized, Groups({ChipGroup::EflashSizedFamilies}), {}},
        {&T::bankSize, Groups({ChipGroup::BankSize}), {}},
        {&T::largeFlash, Groups({ChipGroup::LargeFlashFamilies}), {}},
        // Flash-mode entry.
        {&T::noWait,
         Families({0x77, 0x5D, 0x78, 0x83, 0xD3, 0xCB}) |
             Series({"327x", "117x", "917x", "914x", "91Bx"}),
         {}},
        {&T::noWaitOverKbs, Series({"1FBx"}), {}},
        {&T::quickModeException, Series({"1F5x", "117x", "327x"}), {0x00}},
        {ClockSwitch::BeforeFlashAccess, Chips({0x4C15, 0x4CAB}), {0x48, 0x08}},
        {ClockSwitch::BeforeFlashAccess, Chips({0x4C00, 0x4CF5}), {0x0D}},
        {ClockSwitch::BeforeFlashAccess, Chips({0x4C16, 0x4C21, 0x4C04}), {0x04}},
        {ClockSwitch::OffForExternalFlash, Families({0xD1}), {}},
        {&T::smbusRouteRegister, Chips({0x4C21}), {0x06}},
        {&T::clearsRegister16F7, Chips({0x7702, 0x7740}), {}},
        {&T::clearsRegisters20A0, Chips({0x777E}), {}},
        // eFlash sizing and the part's name.
        {ConfigByteSizing::LowBits3,
         Groups({ChipGroup::EFlashOnly}) | Series({"1FDx", "91Fx", "D17x"}),
         {}},
        {ConfigByteSizing::LowBits2, Series({"1F5x", "117x", "327x"}) | Families({0x92, 0x8D}), {}},
        {ConfigByteSizing::LowBits2, Series({"1B2x"}), VersionsBelow(8)},
        {ConfigByteSizing::LowBits4, Series({"1B6x", "1B5x", "021x"}), {}},
        {ConfigByteSizing::LowBits4, Series({"1B2x"}), VersionsFrom(8)},
        {&T::romCode120K, Chips({0x1152, 0x11D3, 0x1140}), {}},
        {&T::fixed184K, Chips({0x11ED}), {}},
        {&T::fixed120K, Chips({0x1142}), {}},
        {PdSizing::HighVersion64K, Series({"D1Cx"}), {}},
        {PdSizing::SizeRegister, Chips({0xD110, 0xD1DD, 0xD101, 0xD107}), {}},
        {PdSizing::Fixed64K, Chips({0xD108}), {0x00}},
        {PdSizing::HighVersion128K, Series({"02Dx", "027x"}), {}},
        {&T::boardWritesWithoutPages,
         Chips({0x1BD2, 0x1B62, 0x1BC5, 0x1B58, 0x1BDC, 0x1BCF, 0x1B1B, 0x1B88, 0x1BFA, 0x1B19,
                0x1BFF, 0x1B30, 0x1B8A, 0x0219, 0x0245, 0x02FF, 0x0230}),
         {0x00}},
        {&T::sizedByVersion, Families({0x77}) | Series({"917x", "914x", "91Bx", "FE5x"}), {}},
        {&T::sizedByVersionHighNibble,
         Chips({0x777E, 0x77E9, 0x7770, 0x775E, 0x917E, 0x91E9, 0x9170, 0x915E, 0x9103, 0x91A2,
                0x9134, 0x91D1, 0x91BF, 0x9104, 0x9121, 0x9193}),
         {}},
        {FixedSize{288}, Chips({0x32C0}), {}},
        {FixedSize{160}, Chips({0x3258}), {}},
        {&T::kqName, Chips({0x9258, 0x92D2, 0x92CF, 0x8D58, 0x8DD2, 0x8DCF, 0x8D1B, 0x8D39}), {}},
        // Flash operations and images.
        {&T::romCodeAreaUntested, Chips({0x11ED}), {}},
        {&T::keepsLast1KProtected, Chips({0x4C8A, 0x4CE1}), {}},
        {&T::programsAtLowSmbusSpeed,
         Chips({0x4CE1, 0x4CED}) | Groups({ChipGroup::RomCodeFamilies}),
         {}},
        {&T::highSmbusSpeedAfterProgram, Chips({0x4CE1, 0x4CED}), {}},
        {&T::verifiesAtLowSmbusSpeed, Chips({0x4CED}), {}},
        {&T::internalFlashQuickPaths, Chips({0x4CED, 0x4C40}), {}},
        {&T::blockProcessTestsEFlashOnly, Chips({0x1FD2, 0x1F62}), {}},
        {&T::pdIdOneByteLate, Chips({0x0232}), {}},
        {PdFlashVariant{3}, Chips({0xD108}), {0x00}},
        {PdFlashVariant{2}, Families({0xD1}), VersionsLow7From(5)},
        {PdFlashVariant{1}, Families({0x02}) | Chips({0xD110, 0xD1DD, 0xD101, 0xD107}), {}},
    };
    return table;
}

bool Applies(const TraitRule& rule, uint16_t c, uint8_t v) {
    const bool version =
        rule.versions.empty() ||
        std::find(rule.versions.begin(), rule.versions.end(), v) != rule.versions.end();
    return version && IsInSet(rule.chips, c);
}

}  // namespace

ChipTraits ChipTraitsOf(uint16_t c, uint8_t v) {
    ChipTraits traits;
    for (const auto& rule : TraitTable()) {
        if (!Applies(rule, c, v)) {
            continue;
        }
        std::visit(
            [&traits](const auto& trait) {
                using Trait = std::decay_t<decltype(trait)>;
                if constexpr (std::is_same_v<Trait, bool ChipTraits::*>) {
                    traits.*trait = true;
                } else if constexpr (std::is_same_v<Trait, ClockSwitch>) {
                    traits.clockSwitch = trait;
                } else if constexpr (std::is_same_v<Trait, PdSizing>) {
                    traits.pdSizing = trait;
                } else if constexpr (std::is_same_v<Trait, ConfigByteSizing>) {
                    traits.configByteSizing = trait;
                } else if constexpr (std::is_same_v<Trait, FixedSize>) {
                    traits.fixedSizeKB = trait.kb;
                } else {
                    traits.pdFlashVariant = trait.variant;
                }
            },
            rule.trait);
    }
    return traits;
}

}  // namespace quillon
