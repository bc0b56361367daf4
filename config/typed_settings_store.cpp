#include "config/typed_settings_store.h"

namespace quillon {

namespace {

// The value of `name` with `type`; a missing one is nothing.
template <typename Fetched>
const SettingValue* OfType(const std::optional<Fetched>& fetched, const std::string& name,
                           SettingType type) {
    if (!fetched) {
        return nullptr;
    }
    if (fetched->value.type != type || !fetched->fits) {
        throw SettingValueError("Invalid data type for '" + name + "'");
    }
    return &fetched->value;
}

[[noreturn]] void ThrowMissing(const std::string& name) {
    throw SettingValueError("Failed to get data for '" + name + "'");
}

}  // namespace

bool TypedSettingsStore::Exists(const std::string& name) const {
    return Fetch(name).has_value();
}

int32_t TypedSettingsStore::ReadInt(const std::string& name) const {
    const auto fetched = Fetch(name);
    const SettingValue* value = OfType(fetched, name, SettingType::Dword);
    if (value == nullptr) {
        ThrowMissing(name);
    }
    return value->dword;
}

std::string TypedSettingsStore::ReadText(const std::string& name) const {
    const auto fetched = Fetch(name);
    const SettingValue* value = OfType(fetched, name, SettingType::Text);
    return value != nullptr ? value->text : "";
}

std::vector<uint8_t> TypedSettingsStore::ReadBinary(const std::string& name) const {
    const auto fetched = Fetch(name);
    const SettingValue* value = OfType(fetched, name, SettingType::Binary);
    if (value == nullptr) {
        ThrowMissing(name);
    }
    return value->binary;
}

void TypedSettingsStore::WriteInt(const std::string& name, int32_t value) {
    Store(SettingValue{name, SettingType::Dword, value, {}, {}});
}

void TypedSettingsStore::WriteText(const std::string& name, const std::string& value) {
    Store(SettingValue{name, SettingType::Text, 0, value, {}});
}

void TypedSettingsStore::WriteBinary(const std::string& name, const std::vector<uint8_t>& value) {
    Store(SettingValue{name, SettingType::Binary, 0, {}, value});
}

}  // namespace quillon
