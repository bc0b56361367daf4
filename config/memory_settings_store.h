#pragma once

#include <string>
#include <vector>

#include "config/settings_store.h"

namespace quillon {

// A settings store that lives only as long as the object: for tests, and for running on
// when the store file cannot be opened.
class MemorySettingsStore final : public SettingsStore {
public:
    bool Exists(const std::string& name) const override;
    int32_t ReadInt(const std::string& name) const override;
    std::string ReadText(const std::string& name) const override;
    std::vector<uint8_t> ReadBinary(const std::string& name) const override;
    void WriteInt(const std::string& name, int32_t value) override;
    void WriteText(const std::string& name, const std::string& value) override;
    void WriteBinary(const std::string& name, const std::vector<uint8_t>& value) override;
    std::vector<SettingValue> Enumerate() const override { return values_; }

private:
    const SettingValue* Find(const std::string& name) const;
    SettingValue& FindOrAdd(const std::string& name);

    std::vector<SettingValue> values_;  // creation order
};

// Names in the store are compared without regard to letter case.
bool SameSettingName(const std::string& a, const std::string& b);

}  // namespace quillon
