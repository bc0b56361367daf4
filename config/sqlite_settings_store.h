#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/settings_backend.h"
#include "config/typed_settings_store.h"

struct sqlite3;

namespace quillon {

// The settings key kept in one SQLite file: one table of typed values, names compared
// without regard to ASCII letter case (the stored spelling is kept), enumerated in creation
// order. Each write is its own transaction, committed with a full sync of the write-ahead
// log before it returns. The log ("-wal") and its index ("-shm") beside the file belong to
// the store: they are checked with it and never removed when the file is refused.
class SqliteSettingsStore final : public TypedSettingsStore {
public:
    // Opens the file, creating it (and its folder) when it does not exist. A file that is
    // not ours or cannot be written (it, its companions or its folder) is left exactly as it
    // is: throws SettingsFileError.
    static std::unique_ptr<SqliteSettingsStore> Open(const std::filesystem::path& file);
    ~SqliteSettingsStore() override;

    std::vector<SettingValue> Enumerate() const override;
    void BeginBatch() override;
    void EndBatch() override;
    void AbandonBatch() override;

    const std::filesystem::path& File() const { return file_; }

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    using Handle = std::unique_ptr<sqlite3, Closer>;

    SqliteSettingsStore(std::filesystem::path file, Handle db);
    std::optional<Fetched> Fetch(const std::string& name) const override;
    void Store(const SettingValue& value) override;

    int batchDepth_ = 0;

    std::filesystem::path file_;
    Handle db_;
};

}  // namespace quillon
