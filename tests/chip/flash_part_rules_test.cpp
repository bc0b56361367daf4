// The flash part rules: each special part gets its rule, and near misses (another field, a
// name in another case, an older part without JEDEC texts) get none.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "chip/flash_part_rules.h"
#include "chip/target_identity.h"

namespace quillon {
namespace {

FlashPartKey Key(std::string manufacturer, std::string type, std::string capacity,
                 std::string maker = {}, std::string part = {}) {
    return {std::move(manufacturer), std::move(type), std::move(capacity), std::move(maker),
            std::move(part)};
}

TEST(FlashPartRules, EachSpecialPartGetsItsRuleAndNearMissesNone) {
    FlashPartTraits sst;
    sst.statusByOtherMeans = true;
    FlashPartTraits gigaDevice;
    gigaDevice.internalFlashStatus = StatusPreset{"00", "02", true};
    FlashPartTraits pd;
    pd.pdControllerFlash = true;
    FlashPartTraits macronix;
    macronix.socketEraseWholeByBlocks = true;
    FlashPartTraits own;
    own.controllersOwnEFlash = true;
    const FlashPartTraits none;

    const struct {
        FlashPartKey key;
        FlashPartTraits traits;
    } cases[] = {
        {Key("BF", "25", "8D"), sst},
        {Key("BF", "26", "43"), sst},
        {Key("", "", "", "SST", "SST25VF512A"), none},  // no JEDEC ID: the operator's writes
        {Key("C8", "60", "14"), gigaDevice},
        {Key("C8", "65", "14"), gigaDevice},
        {Key("C8", "40", "14"), none},
        {Key("C8", "60", "15"), none},
        {Key("FF", "FF", "FE"), pd},
        {Key("FF", "FF", "FF"), none},
        {Key("C2", "20", "18", "Macronix", "MX25L12845E"), macronix},
        {Key("C2", "20", "18", "Macronix", "MX25L12835F"), none},
        {Key("", "", "", "Macronix", "mx25l12845e"), none},
        {Key("", "", "", "Kavo", "eFlash"), own},
        {Key("", "", "", "KAVO", "eFlash"), none},
        {Key("", "", "", "BF", "MX25L12845E"), macronix},  // a maker name is not a JEDEC byte
        {Key("", "", ""), none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FlashPartTraitsOf(c.key), c.traits)
            << c.key.jedecManufacturer << c.key.jedecMemoryType << c.key.jedecCapacity << " "
            << c.key.maker << "/" << c.key.part;
    }
}

TEST(FlashPartRules, TheIdentityResolvesAgainAfterAFlashIdReadChangedTheTexts) {
    TargetIdentity identity;
    identity.chipIdStrings = {"8458", "01", "BF", "8D", "BF", "25", "8D"};
    EXPECT_TRUE(identity.FlashPart().statusByOtherMeans);
    identity.chipIdStrings[kSlotJedecManufacturer] = "C8";
    identity.chipIdStrings[kSlotJedecMemoryType] = "60";
    identity.chipIdStrings[kSlotJedecCapacity] = "14";
    EXPECT_FALSE(identity.FlashPart().statusByOtherMeans);
    EXPECT_TRUE(identity.FlashPart().internalFlashStatus.has_value());
}

}  // namespace
}  // namespace quillon
