#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/settings_store.h"

namespace quillon {

// A store of whole typed values. The typed reads and writes, with the rules every store
// shares (a missing DWORD or binary value and a value of another type are SettingValueErrors;
// a missing text reads as ""), are made here once over two operations of the store's own.
class TypedSettingsStore : public SettingsStore {
public:
    bool Exists(const std::string& name) const final;
    int32_t ReadInt(const std::string& name) const final;
    std::string ReadText(const std::string& name) const final;
    std::vector<uint8_t> ReadBinary(const std::string& name) const final;
    void WriteInt(const std::string& name, int32_t value) final;
    void WriteText(const std::string& name, const std::string& value) final;
    void WriteBinary(const std::string& name, const std::vector<uint8_t>& value) final;

protected:
    // A stored value, and whether its stored form fits the type it claims: one that does not
    // (a hand-edited file, a registry type the program never writes) reads as another type
    // whatever is asked.
    struct Fetched {
        SettingValue value;
        bool fits = true;
    };
    // The value named `name` (letter case aside), or nothing. Throws SettingsError when the
    // store cannot be read.
    virtual std::optional<Fetched> Fetch(const std::string& name) const = 0;
    // Replaces the value of that name, type and all (its first spelling stays), or adds it.
    // Throws SettingsError when it cannot be written.
    virtual void Store(const SettingValue& value) = 0;
};

}  // namespace quillon
