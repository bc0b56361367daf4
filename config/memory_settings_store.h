#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/typed_settings_store.h"

namespace quillon {

// A settings store that lives only as long as the object: for tests, and for running on
// when the store file cannot be opened.
class MemorySettingsStore final : public TypedSettingsStore {
public:
    std::vector<SettingValue> Enumerate() const override { return values_; }

private:
    std::optional<Fetched> Fetch(const std::string& name) const override;
    void Store(const SettingValue& value) override;

    std::vector<SettingValue> values_;  // creation order
};

// Names in the store are compared without regard to letter case.
bool SameSettingName(const std::string& a, const std::string& b);

}  // namespace quillon
