#include "config/memory_settings_store.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(MemorySettingsStoreTest, NamesIgnoreCaseAndKeepFirstSpellingAndOrder) {
    MemorySettingsStore store;
    store.WriteInt("PDI2CAddress", 128);
    store.WriteText("LastFilePath", "/tmp/a.bin");
    store.WriteInt("pdi2caddress", 0x42);
    EXPECT_EQ(store.ReadInt("PdI2cAddress"), 0x42);
    const auto values = store.Enumerate();
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].name, "PDI2CAddress");
    EXPECT_EQ(values[1].name, "LastFilePath");
}

TEST(MemorySettingsStoreTest, ReadErrorsCarryTheOperatorMessage) {
    MemorySettingsStore store;
    store.WriteText("ConnectMode", "2");
    EXPECT_EQ(store.ReadText("Missing"), "");
    try {
        store.ReadInt("Flashblock");
        FAIL();
    } catch (const SettingsError& e) {
        EXPECT_STREQ(e.what(), "Failed to get data for 'Flashblock'");
    }
    try {
        store.ReadInt("ConnectMode");
        FAIL();
    } catch (const SettingsError& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'ConnectMode'");
    }
    store.WriteInt("ConnectMode", -1);  // a write replaces the type too
    EXPECT_TRUE(store.ReadBool("ConnectMode"));
}

}  // namespace
}  // namespace quillon
