#include "config/memory_settings_store.h"

#include <algorithm>
#include <cctype>

namespace quillon {

namespace {
[[noreturn]] void ThrowMissing(const std::string& name) {
    throw SettingValueError("Failed to get data for '" + name + "'");
}
[[noreturn]] void ThrowWrongType(const std::string& name) {
    throw SettingValueError("Invalid data type for '" + name + "'");
}
}  // namespace

bool SameSettingName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

const SettingValue* MemorySettingsStore::Find(const std::string& name) const {
    for (const auto& value : values_) {
        if (SameSettingName(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

SettingValue& MemorySettingsStore::FindOrAdd(const std::string& name) {
    for (auto& value : values_) {
        if (SameSettingName(value.name, name)) {
            return value;
        }
    }
    values_.push_back(SettingValue{name, SettingType::Dword, 0, {}, {}});
    return values_.back();
}

bool MemorySettingsStore::Exists(const std::string& name) const {
    return Find(name) != nullptr;
}

int32_t MemorySettingsStore::ReadInt(const std::string& name) const {
    const auto* value = Find(name);
    if (!value) {
        ThrowMissing(name);
    }
    if (value->type != SettingType::Dword) {
        ThrowWrongType(name);
    }
    return value->dword;
}

std::string MemorySettingsStore::ReadText(const std::string& name) const {
    const auto* value = Find(name);
    if (!value) {
        return "";
    }
    if (value->type != SettingType::Text) {
        ThrowWrongType(name);
    }
    return value->text;
}

std::vector<uint8_t> MemorySettingsStore::ReadBinary(const std::string& name) const {
    const auto* value = Find(name);
    if (!value) {
        ThrowMissing(name);
    }
    if (value->type != SettingType::Binary) {
        ThrowWrongType(name);
    }
    return value->binary;
}

void MemorySettingsStore::WriteInt(const std::string& name, int32_t value) {
    auto& stored = FindOrAdd(name);
    stored = SettingValue{stored.name, SettingType::Dword, value, {}, {}};
}

void MemorySettingsStore::WriteText(const std::string& name, const std::string& value) {
    auto& stored = FindOrAdd(name);
    stored = SettingValue{stored.name, SettingType::Text, 0, value, {}};
}

void MemorySettingsStore::WriteBinary(const std::string& name, const std::vector<uint8_t>& value) {
    auto& stored = FindOrAdd(name);
    stored = SettingValue{stored.name, SettingType::Binary, 0, {}, value};
}

}  // namespace quillon
