#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "config/settings_backend.h"
#include "config/win/registry_settings_store.h"

namespace quillon {
namespace {

// Each test works in a key of its own below HKEY_CURRENT_USER and deletes it afterwards.
class RegistryStoreTest : public ::testing::Test {
protected:
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kWideKey); }

    static constexpr const char* kKey = "SOFTWARE\\Kavo\\QuillonRegistryStoreTest";
    static constexpr const wchar_t* kWideKey = L"SOFTWARE\\Kavo\\QuillonRegistryStoreTest";
};

TEST_F(RegistryStoreTest, ValuesKeepTheirRegistryTypesAndSurviveReopening) {
    {
        auto store = RegistrySettingsStore::Open(kKey);
        store->WriteInt("ConnectMode", -1);
        store->WriteText("LastFilePath", "C:\\img\\\xC3\xA4.bin");  // UTF-8 inside
        store->WriteBinary("ExtraECChipID", {});
        store->WriteBinary("Blob", {1, 0, 255});
    }
    auto store = RegistrySettingsStore::Open(kKey);
    EXPECT_EQ(store->ReadInt("connectmode"), -1);
    EXPECT_EQ(store->ReadText("LASTFILEPATH"), "C:\\img\\\xC3\xA4.bin");
    EXPECT_EQ(store->ReadBinary("Blob"), (std::vector<uint8_t>{1, 0, 255}));
    EXPECT_TRUE(store->ReadBinary("ExtraECChipID").empty());
    EXPECT_EQ(store->ReadText("Missing"), "");
    EXPECT_FALSE(store->Exists("Missing"));

    // What the system itself holds: the types and the UTF-16 text.
    DWORD type = 0;
    DWORD dword = 0;
    DWORD size = sizeof dword;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kWideKey, L"ConnectMode", RRF_RT_ANY, &type, &dword,
                             &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(dword, 0xFFFFFFFFu);
    wchar_t text[64] = {};
    size = sizeof text;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kWideKey, L"LastFilePath", RRF_RT_ANY, &type, text,
                             &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(text), L"C:\\img\\\x00E4.bin");

    // Enumeration follows the registry's own order (creation order on Windows, name order
    // under Wine); the types come with the values.
    std::map<std::string, SettingType> types;
    for (const auto& value : store->Enumerate()) {
        types[value.name] = value.type;
    }
    const std::map<std::string, SettingType> expected = {{"Blob", SettingType::Binary},
                                                         {"ConnectMode", SettingType::Dword},
                                                         {"ExtraECChipID", SettingType::Binary},
                                                         {"LastFilePath", SettingType::Text}};
    EXPECT_EQ(types, expected);
}

TEST_F(RegistryStoreTest, AValueOfAnotherTypeOrAMissingOneIsASettingsError) {
    auto store = RegistrySettingsStore::Open(kKey);
    store->WriteText("Flashblock", "8");
    store->WriteInt("AssignedAddress", 0);
    const struct {
        const char* what;
        std::function<void()> read;
        std::string message;
    } cases[] = {
        {"text read as DWORD", [&] { store->ReadInt("Flashblock"); },
         "Invalid data type for 'Flashblock'"},
        {"DWORD read as text", [&] { store->ReadText("AssignedAddress"); },
         "Invalid data type for 'AssignedAddress'"},
        {"DWORD read as binary", [&] { store->ReadBinary("AssignedAddress"); },
         "Invalid data type for 'AssignedAddress'"},
        {"missing DWORD", [&] { store->ReadInt("PageWriteSize"); },
         "Failed to get data for 'PageWriteSize'"},
    };
    for (const auto& c : cases) {
        try {
            c.read();
            ADD_FAILURE() << c.what << ": no error";
        } catch (const SettingsError& error) {
            EXPECT_EQ(std::string(error.what()), c.message) << c.what;
        }
    }
    // A write replaces the type, as the registry does.
    store->WriteInt("Flashblock", 16);
    EXPECT_EQ(store->ReadInt("Flashblock"), 16);
}

TEST_F(RegistryStoreTest, AKeyThatCannotBeOpenedIsRefusedWithTheSystemsReason) {
    // A key below a read-only place: an existing value cannot hold a key.
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kWideKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    try {
        OpenSettingsStore(std::string(kKey) + "\\bad\\" + std::string(300, 'x'));
        FAIL() << "a key name longer than the registry allows was opened";
    } catch (const SettingsFileError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("Cannot use the settings key 'HKEY_CURRENT_USER\\SOFTWARE"),
                  std::string::npos)
            << message;
        EXPECT_FALSE(error.Reason().empty());
    }
}

}  // namespace
}  // namespace quillon
