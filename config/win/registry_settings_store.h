#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/typed_settings_store.h"

namespace quillon {

// The settings key in the Windows registry, below HKEY_CURRENT_USER (a program run by an
// operator without administrator rights can write there): REG_DWORD for DWORDs and flags,
// REG_SZ for texts, REG_BINARY for bytes. The registry compares names without regard to
// case and keeps the spelling a value was created with. Texts cross the boundary as UTF-16
// and are UTF-8 inside the program. Every write outside a batch is flushed to disk at once;
// a batch is flushed when it ends.
class RegistrySettingsStore final : public TypedSettingsStore {
public:
    // Opens the key (a path below HKEY_CURRENT_USER), creating it when it does not exist.
    // Throws SettingsFileError with the system's message when it cannot be opened for
    // reading and writing.
    static std::unique_ptr<RegistrySettingsStore> Open(const std::string& keyPath);
    ~RegistrySettingsStore() override;
    RegistrySettingsStore(const RegistrySettingsStore&) = delete;
    RegistrySettingsStore& operator=(const RegistrySettingsStore&) = delete;

    // "HKEY_CURRENT_USER\<path>", for messages.
    static std::string FullName(const std::string& keyPath);

    std::vector<SettingValue> Enumerate() const override;
    void BeginBatch() override { ++batchDepth_; }
    void EndBatch() override;

private:
    RegistrySettingsStore(std::string keyPath, HKEY key);

    // A value's registry type and raw bytes; false when it does not exist.
    struct Raw {
        DWORD type = REG_NONE;
        std::vector<uint8_t> bytes;
    };
    bool Query(const std::wstring& name, Raw& raw) const;
    std::optional<Fetched> Fetch(const std::string& name) const override;
    void Store(const SettingValue& value) override;
    void Set(const std::string& name, DWORD type, const void* data, std::size_t size);
    void Flush();

    std::string keyPath_;
    HKEY key_;
    int batchDepth_ = 0;
};

}  // namespace quillon
