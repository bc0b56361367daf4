#include "config/stored_modes.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "config/memory_settings_store.h"

namespace quillon {
namespace {

// Each mode takes exactly its values; every other stored number names no mode.
TEST(StoredModes, OnlyTheirValuesNameAMode) {
    const struct {
        const char* name;
        int32_t first, last;
        std::function<bool(int32_t)> named;
    } modes[] = {
        {"Allocation", 1, 3, [](int32_t v) { return ModeFrom<Allocation>(v).has_value(); }},
        {"QuickMode", 0, 2, [](int32_t v) { return ModeFrom<QuickMode>(v).has_value(); }},
        {"SMBusSpeed", 1, 2, [](int32_t v) { return ModeFrom<SmbusSpeed>(v).has_value(); }},
        {"SpecialWave", 1, 3, [](int32_t v) { return ModeFrom<SpecialWave>(v).has_value(); }},
        {"EraseType", 0, 2, [](int32_t v) { return ModeFrom<EraseType>(v).has_value(); }},
    };
    for (const auto& mode : modes) {
        for (int32_t v = -2; v <= 5; ++v) {
            EXPECT_EQ(mode.named(v), v >= mode.first && v <= mode.last) << mode.name << " " << v;
        }
        EXPECT_FALSE(mode.named(INT32_MIN)) << mode.name;
        EXPECT_FALSE(mode.named(INT32_MAX)) << mode.name;
    }
}

TEST(StoredModes, RadioItemsAreValueLessOneExceptQuickMode) {
    EXPECT_EQ(RadioItem(Allocation::FromTop), 0);
    EXPECT_EQ(RadioItem(SmbusSpeed::High), 1);
    EXPECT_EQ(RadioItem(SpecialWave::PdTestMode), 2);
    EXPECT_EQ(RadioItem(QuickMode::Disable), 0);
    EXPECT_EQ(RadioItem(QuickMode::KbsBurstWrite), 2);
    EXPECT_EQ(ModeOfItem<Allocation>(2), Allocation::FromAssigned);
    EXPECT_EQ(ModeOfItem<QuickMode>(1), QuickMode::Enable);
    EXPECT_EQ(ModeOfItem<Allocation>(-1), std::nullopt);  // no item selected
    EXPECT_EQ(ModeOfItem<SmbusSpeed>(2), std::nullopt);
}

TEST(StoredModes, QuickWriteByteAndQuickPaths) {
    EXPECT_EQ(QuickWriteByte(QuickMode::Enable), 0);
    EXPECT_EQ(QuickWriteByte(QuickMode::KbsBurstWrite), 1);
    EXPECT_FALSE(QuickPathsAllowed(QuickMode::Disable));
    EXPECT_TRUE(QuickPathsAllowed(QuickMode::Enable));
    EXPECT_FALSE(QuickPathsAllowed(std::nullopt));  // a stored 3: nothing quick is sent
}

TEST(StoredModes, RomKeyIsOffOnOrCombined) {
    EXPECT_EQ(RomKeyFrom(0), RomKey::Off);
    EXPECT_EQ(RomKeyFrom(1), RomKey::On);
    EXPECT_EQ(RomKeyFrom(2), RomKey::Combined);
    EXPECT_EQ(RomKeyFrom(3), RomKey::On);
    EXPECT_EQ(RomKeyFrom(-1), RomKey::On);
}

TEST(StoredModes, FixedSaveSizesOfTheEFlashReadModes) {
    EXPECT_EQ(FixedSaveSize(128), 0x20000u);
    EXPECT_EQ(FixedSaveSize(129), 256u);
    EXPECT_EQ(FixedSaveSize(130), 0x18000u);
    EXPECT_EQ(FixedSaveSize(0), std::nullopt);
    EXPECT_EQ(FixedSaveSize(131), std::nullopt);
}

TEST(StoredModes, ReadAndWriteThroughTheirValueNames) {
    MemorySettingsStore store;
    WriteMode(store, Allocation::FromMedium);
    EXPECT_EQ(store.ReadInt(setting::kAllocation), 2);
    store.WriteInt(setting::kSpecialWave, 7);
    EXPECT_EQ(ReadMode<SpecialWave>(store), std::nullopt);
    EXPECT_THROW(ReadMode<QuickMode>(store), SettingsError);  // missing, as every DWORD read
    store.WriteInt(setting::kRomKey, 2);
    EXPECT_EQ(ReadRomKey(store), RomKey::Combined);
}

}  // namespace
}  // namespace quillon
