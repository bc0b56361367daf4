#include "config/sqlite_settings_store.h"

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>

namespace quillon {

namespace {

// Marks the file as ours ("QUIL"), so an unrelated database is never written into.
constexpr int kApplicationId = 0x5155494C;
constexpr int kSchemaVersion = 1;

// Registry type numbers, so the file reads naturally next to an export.
constexpr int kTypeText = 1;    // REG_SZ
constexpr int kTypeBinary = 3;  // REG_BINARY
constexpr int kTypeDword = 4;   // REG_DWORD

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS settings ("
    " id INTEGER PRIMARY KEY,"
    " name TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " type INTEGER NOT NULL CHECK (type IN (1, 3, 4)),"
    " value)";

struct Finalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

// Thrown inside the file's opening steps, turned into SettingsFileError by Open.
struct OpenFailure {
    std::string reason;
};

Statement Prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return nullptr;
    }
    return Statement(raw);
}

std::string Describe(sqlite3* db) {
    switch (sqlite3_extended_errcode(db) & 0xFF) {
        case SQLITE_NOTADB:
            return "it is not a database";
        case SQLITE_CORRUPT:
            return "the database is corrupt (" + std::string(sqlite3_errmsg(db)) + ")";
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
            return "it cannot be written (" + std::string(sqlite3_errmsg(db)) + ")";
        default:
            return sqlite3_errmsg(db);
    }
}

void Exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        throw OpenFailure{Describe(db)};
    }
}

int QueryInt(sqlite3* db, const char* sql) {
    auto statement = Prepare(db, sql);
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) {
        throw OpenFailure{Describe(db)};
    }
    return sqlite3_column_int(statement.get(), 0);
}

// Looks at the first bytes ourselves: SQLite would happily start a new database over an
// empty one, but must never be handed a file of some other kind.
void CheckFileKind(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return;
    }
    if (!std::filesystem::is_regular_file(file, error)) {
        throw OpenFailure{"it is not a regular file"};
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw OpenFailure{"it cannot be read (" + std::string(std::strerror(errno)) + ")"};
    }
    std::array<char, 16> header{};
    in.read(header.data(), header.size());
    const auto got = in.gcount();
    if (got == 0) {
        return;  // an empty file holds nothing to lose
    }
    if (got < 16 || std::memcmp(header.data(), "SQLite format 3", 16) != 0) {
        throw OpenFailure{"it is not a settings database"};
    }
}

void CheckContent(sqlite3* db) {
    auto check = Prepare(db, "PRAGMA quick_check");
    if (!check) {
        throw OpenFailure{Describe(db)};
    }
    const int step = sqlite3_step(check.get());
    if (step != SQLITE_ROW) {
        throw OpenFailure{Describe(db)};
    }
    const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
    if (!verdict || std::strcmp(verdict, "ok") != 0) {
        throw OpenFailure{std::string("the database is corrupt (") +
                          (verdict ? verdict : "unknown") + ")"};
    }
    const int tables = QueryInt(db, "SELECT count(*) FROM sqlite_schema");
    const int applicationId = QueryInt(db, "PRAGMA application_id");
    if (tables > 0 && applicationId != kApplicationId) {
        throw OpenFailure{"it is a database of another program"};
    }
    if (QueryInt(db, "PRAGMA user_version") > kSchemaVersion) {
        throw OpenFailure{"it was written by a newer version of this program"};
    }
}

// Decodes the columns name, type, value of the current row.
SettingValue ValueFromRow(sqlite3_stmt* s) {
    SettingValue value;
    value.name = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    switch (sqlite3_column_int(s, 1)) {
        case kTypeDword:
            value.type = SettingType::Dword;
            value.dword = static_cast<int32_t>(sqlite3_column_int64(s, 2));
            break;
        case kTypeText: {
            value.type = SettingType::Text;
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 2));
            value.text.assign(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(s, 2)));
            break;
        }
        default: {
            value.type = SettingType::Binary;
            const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(s, 2));
            if (bytes) {
                value.binary.assign(bytes, bytes + sqlite3_column_bytes(s, 2));
            }
            break;
        }
    }
    return value;
}

}  // namespace

SettingsFileError::SettingsFileError(const std::filesystem::path& file, const std::string& reason)
    : std::runtime_error("Cannot use the settings file '" + file.string() + "': " + reason),
      file_(file),
      reason_(reason) {}

void SqliteSettingsStore::Closer::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

SqliteSettingsStore::SqliteSettingsStore(std::filesystem::path file, Handle db)
    : file_(std::move(file)), db_(std::move(db)) {}

SqliteSettingsStore::~SqliteSettingsStore() = default;

std::unique_ptr<SqliteSettingsStore> SqliteSettingsStore::Open(const std::filesystem::path& file) {
    try {
        CheckFileKind(file);
        std::error_code error;
        if (file.has_parent_path()) {
            std::filesystem::create_directories(file.parent_path(), error);
            if (error) {
                throw OpenFailure{"its folder cannot be created (" + error.message() + ")"};
            }
        }
        sqlite3* raw = nullptr;
        const int opened = sqlite3_open_v2(file.c_str(), &raw,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        Handle db(raw);
        if (opened != SQLITE_OK) {
            throw OpenFailure{raw ? Describe(raw) : "out of memory"};
        }
        sqlite3_extended_result_codes(db.get(), 1);
        if (sqlite3_db_readonly(db.get(), "main") == 1) {
            throw OpenFailure{"it cannot be written (read-only)"};
        }
        sqlite3_busy_timeout(db.get(), 2000);
        CheckContent(db.get());
        // A rollback journal with a full sync: a committed write survives a crash, and the
        // file at rest is a single file.
        Exec(db.get(), "PRAGMA journal_mode = DELETE");
        Exec(db.get(), "PRAGMA synchronous = FULL");
        // Creating the table (or proving we may) is the write probe.
        Exec(db.get(), "BEGIN IMMEDIATE");
        try {
            Exec(db.get(), kCreateTable);
            const auto stamp = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                               "; PRAGMA user_version = " + std::to_string(kSchemaVersion);
            Exec(db.get(), stamp.c_str());
            Exec(db.get(), "COMMIT");
        } catch (...) {
            sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        return std::unique_ptr<SqliteSettingsStore>(new SqliteSettingsStore(file, std::move(db)));
    } catch (const OpenFailure& failure) {
        throw SettingsFileError(file, failure.reason);
    }
}

std::optional<SettingValue> SqliteSettingsStore::Fetch(const std::string& name) const {
    auto statement = Prepare(db_.get(), "SELECT name, type, value FROM settings WHERE name = ?1");
    if (!statement) {
        throw SettingsError("Failed to get data for '" + name + "'");
    }
    sqlite3_bind_text(statement.get(), 1, name.data(), static_cast<int>(name.size()),
                      SQLITE_TRANSIENT);
    const int step = sqlite3_step(statement.get());
    if (step == SQLITE_DONE) {
        return std::nullopt;
    }
    if (step != SQLITE_ROW) {
        throw SettingsError("Failed to get data for '" + name + "'");
    }
    return ValueFromRow(statement.get());
}

bool SqliteSettingsStore::Exists(const std::string& name) const {
    return Fetch(name).has_value();
}

int32_t SqliteSettingsStore::ReadInt(const std::string& name) const {
    const auto row = Fetch(name);
    if (!row) {
        throw SettingsError("Failed to get data for '" + name + "'");
    }
    if (row->type != SettingType::Dword) {
        throw SettingsError("Invalid data type for '" + name + "'");
    }
    return row->dword;
}

std::string SqliteSettingsStore::ReadText(const std::string& name) const {
    const auto row = Fetch(name);
    if (!row) {
        return "";
    }
    if (row->type != SettingType::Text) {
        throw SettingsError("Invalid data type for '" + name + "'");
    }
    return row->text;
}

std::vector<uint8_t> SqliteSettingsStore::ReadBinary(const std::string& name) const {
    const auto row = Fetch(name);
    if (!row) {
        throw SettingsError("Failed to get data for '" + name + "'");
    }
    if (row->type != SettingType::Binary) {
        throw SettingsError("Invalid data type for '" + name + "'");
    }
    return row->binary;
}

void SqliteSettingsStore::Write(const std::string& name, const SettingValue& value) {
    // The upsert keeps the row (creation order) and the first spelling of the name.
    auto statement = Prepare(db_.get(),
                             "INSERT INTO settings (name, type, value) VALUES (?1, ?2, ?3) "
                             "ON CONFLICT (name) DO UPDATE SET type = excluded.type, "
                             "value = excluded.value");
    auto fail = [&] {
        throw SettingsError("Failed to write data for '" + name + "' to '" + file_.string() +
                            "': " + sqlite3_errmsg(db_.get()));
    };
    if (!statement) {
        fail();
    }
    auto* s = statement.get();
    sqlite3_bind_text(s, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    switch (value.type) {
        case SettingType::Dword:
            sqlite3_bind_int(s, 2, kTypeDword);
            sqlite3_bind_int(s, 3, value.dword);
            break;
        case SettingType::Text:
            sqlite3_bind_int(s, 2, kTypeText);
            sqlite3_bind_text(s, 3, value.text.data(), static_cast<int>(value.text.size()),
                              SQLITE_TRANSIENT);
            break;
        case SettingType::Binary:
            sqlite3_bind_int(s, 2, kTypeBinary);
            // A zero-length blob, not NULL, for an empty binary value.
            sqlite3_bind_zeroblob(s, 3, 0);
            if (!value.binary.empty()) {
                sqlite3_bind_blob(s, 3, value.binary.data(), static_cast<int>(value.binary.size()),
                                  SQLITE_TRANSIENT);
            }
            break;
    }
    if (sqlite3_step(s) != SQLITE_DONE) {
        fail();
    }
}

void SqliteSettingsStore::WriteInt(const std::string& name, int32_t value) {
    Write(name, SettingValue{name, SettingType::Dword, value, {}, {}});
}

void SqliteSettingsStore::WriteText(const std::string& name, const std::string& value) {
    Write(name, SettingValue{name, SettingType::Text, 0, value, {}});
}

void SqliteSettingsStore::WriteBinary(const std::string& name, const std::vector<uint8_t>& value) {
    Write(name, SettingValue{name, SettingType::Binary, 0, {}, value});
}

std::vector<SettingValue> SqliteSettingsStore::Enumerate() const {
    std::vector<SettingValue> values;
    auto statement = Prepare(db_.get(), "SELECT name, type, value FROM settings ORDER BY id");
    int step = statement ? sqlite3_step(statement.get()) : SQLITE_ERROR;
    for (; step == SQLITE_ROW; step = sqlite3_step(statement.get())) {
        values.push_back(ValueFromRow(statement.get()));
    }
    if (step != SQLITE_DONE) {
        throw SettingsError("Cannot list the settings in '" + file_.string() +
                            "': " + sqlite3_errmsg(db_.get()));
    }
    return values;
}

}  // namespace quillon
