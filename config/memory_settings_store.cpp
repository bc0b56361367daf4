#include "config/memory_settings_store.h"

#include <algorithm>
#include <cctype>

namespace quillon {

bool SameSettingName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<MemorySettingsStore::Fetched> MemorySettingsStore::Fetch(
    const std::string& name) const {
    for (const auto& value : values_) {
        if (SameSettingName(value.name, name)) {
            return Fetched{value};
        }
    }
    return std::nullopt;
}

void MemorySettingsStore::Store(const SettingValue& value) {
    for (auto& stored : values_) {
        if (SameSettingName(stored.name, value.name)) {
            const std::string spelling = stored.name;
            stored = value;
            stored.name = spelling;
            return;
        }
    }
    values_.push_back(value);
}

}  // namespace quillon
