#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

// Raised by a read that cannot be served. The message is what the operator sees in the
// application's error box: "Failed to get data for '%s'" or "Invalid data type for '%s'".
// It ends the running handler; the program runs on.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value that is not stored, or stored with another type than the one read: the settings
// are not what the program needs (the store itself works).
class SettingValueError : public SettingsError {
public:
    using SettingsError::SettingsError;
};

enum class SettingType { Dword, Text, Binary };

struct SettingValue {
    std::string name;  // spelling as first stored
    SettingType type = SettingType::Dword;
    int32_t dword = 0;
    std::string text;
    std::vector<uint8_t> binary;
};

// The settings key "SOFTWARE\Kavo\Vessa_Quillon": typed named values, names compared
// without regard to letter case, enumerated in creation order, every write durable at once.
class SettingsStore {
public:
    static constexpr const char* kKeyPath = "SOFTWARE\\Kavo\\Vessa_Quillon";

    virtual ~SettingsStore() = default;

    virtual bool Exists(const std::string& name) const = 0;
    // Throws SettingsError when the value is missing or has another type.
    virtual int32_t ReadInt(const std::string& name) const = 0;
    // A flag is a DWORD: any non-zero value reads as true.
    bool ReadBool(const std::string& name) const { return ReadInt(name) != 0; }
    // A missing text reads as ""; a value of another type throws SettingsError.
    virtual std::string ReadText(const std::string& name) const = 0;
    virtual std::vector<uint8_t> ReadBinary(const std::string& name) const = 0;

    // Writes replace the value (and its type) and are committed before returning.
    virtual void WriteInt(const std::string& name, int32_t value) = 0;
    void WriteBool(const std::string& name, bool value) { WriteInt(name, value ? 1 : 0); }
    virtual void WriteText(const std::string& name, const std::string& value) = 0;
    virtual void WriteBinary(const std::string& name, const std::vector<uint8_t>& value) = 0;
    // Writes `value` with its own type under its name.
    void Write(const SettingValue& value) {
        switch (value.type) {
            case SettingType::Dword:
                WriteInt(value.name, value.dword);
                break;
            case SettingType::Text:
                WriteText(value.name, value.text);
                break;
            case SettingType::Binary:
                WriteBinary(value.name, value.binary);
                break;
        }
    }

    // Every value in creation order.
    virtual std::vector<SettingValue> Enumerate() const = 0;

    // Groups the writes until EndBatch into one durable commit (the start-up load creates
    // its 45 defaults this way). Reads inside see the writes. Batches nest; only the
    // outermost end commits. A store without transactions ignores both.
    virtual void BeginBatch() {}
    // Commits the batch; throws SettingsError when the writes could not be made durable.
    virtual void EndBatch() {}
    // Ends a batch; the outermost keeps none of its writes (a store without transactions
    // keeps what it wrote).
    virtual void AbandonBatch() {}
};

// One batch of writes for a scope. Commit() ends it and reports a failed commit; a scope
// left by an error commits what was written before the error as well as it can, or, for an
// all-or-nothing batch (a settings import), keeps none of it.
class SettingsBatch {
public:
    enum class OnError { KeepWritten, KeepNothing };

    explicit SettingsBatch(SettingsStore& store, OnError onError = OnError::KeepWritten)
        : store_(&store), onError_(onError) {
        store_->BeginBatch();
    }
    ~SettingsBatch() {
        if (store_ != nullptr) {
            try {
                if (onError_ == OnError::KeepNothing) {
                    store_->AbandonBatch();
                } else {
                    store_->EndBatch();
                }
            } catch (...) {
                // The error that left the scope is the one the operator sees.
            }
        }
    }
    SettingsBatch(const SettingsBatch&) = delete;
    SettingsBatch& operator=(const SettingsBatch&) = delete;

    void Commit() {
        SettingsStore* store = std::exchange(store_, nullptr);
        store->EndBatch();
    }

private:
    SettingsStore* store_;  // not owned
    OnError onError_;
};

}  // namespace quillon
