#pragma once

#include <string>
#include <vector>

#include "config/memory_settings_store.h"

namespace quillon::testing {

// Records the order of writes on top of an in-memory store.
class WriteOrderStore final : public SettingsStore {
public:
    bool Exists(const std::string& name) const override { return inner.Exists(name); }
    int32_t ReadInt(const std::string& name) const override { return inner.ReadInt(name); }
    std::string ReadText(const std::string& name) const override { return inner.ReadText(name); }
    std::vector<uint8_t> ReadBinary(const std::string& name) const override {
        return inner.ReadBinary(name);
    }
    void WriteInt(const std::string& name, int32_t value) override {
        writes.push_back(name);
        inner.WriteInt(name, value);
    }
    void WriteText(const std::string& name, const std::string& value) override {
        writes.push_back(name);
        inner.WriteText(name, value);
    }
    void WriteBinary(const std::string& name, const std::vector<uint8_t>& value) override {
        writes.push_back(name);
        inner.WriteBinary(name, value);
    }
    std::vector<SettingValue> Enumerate() const override { return inner.Enumerate(); }

    MemorySettingsStore inner;
    std::vector<std::string> writes;
};

}  // namespace quillon::testing
