#include "config/sqlite_settings_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <array>
#include <cstdint>
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

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

std::string QueryText(sqlite3* db, const char* sql) {
    auto statement = Prepare(db, sql);
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) {
        throw OpenFailure{Describe(db)};
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    return text ? text : "";
}

// Looks at the first bytes ourselves: SQLite would happily start a new database over an
// empty one, but must never be handed a file of some other kind. True when the file holds
// a database (false: missing or empty).
bool CheckFileKind(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return false;
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
        return false;  // an empty file holds nothing to lose
    }
    if (got < 16 || std::memcmp(header.data(), "SQLite format 3", 16) != 0) {
        throw OpenFailure{"it is not a settings database"};
    }
    return true;
}

// The write-ahead log ("-wal") and its index ("-shm") beside the file are part of the
// store: committed values may live in the log until they are copied into the file. Each
// that exists must be a regular file this user may write; a log without its database would
// be replayed into a new, empty one, so it is left for the operator to look at.
void CheckCompanions(const std::filesystem::path& file, bool databaseThere) {
    for (const char* suffix : {"-wal", "-shm"}) {
        const std::filesystem::path companion = file.string() + suffix;
        std::error_code error;
        const auto status = std::filesystem::symlink_status(companion, error);
        if (!std::filesystem::exists(status)) {
            continue;
        }
        if (!std::filesystem::is_regular_file(status)) {
            throw OpenFailure{"its companion " + Quoted(companion) + " is not a regular file"};
        }
        if (access(companion.c_str(), R_OK | W_OK) != 0) {
            throw OpenFailure{"its companion " + Quoted(companion) + " cannot be written (" +
                              std::strerror(errno) + ")"};
        }
        if (!databaseThere && std::string_view(suffix) == "-wal" &&
            std::filesystem::file_size(companion, error) > 0) {
            throw OpenFailure{"its write-ahead log " + Quoted(companion) +
                              " is there without the database"};
        }
    }
}

// The log and its index are created beside the file, so the folder must be writable too.
void CheckFolder(const std::filesystem::path& file) {
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        throw OpenFailure{"its folder " + Quoted(folder) + " cannot be written (" +
                          std::strerror(errno) + ")"};
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

// Decodes the columns name, type, value of the current row. `matches` says whether the
// stored value has the form of its type: a DWORD is an integer within 32 bits, a text is
// text, a binary value is a blob. A hand-edited file can hold anything (NULL, '0x10', 3.9,
// 5000000000); such a value is never converted, its read fails like a value of another type.
struct Row {
    SettingValue value;
    bool matches = true;
};

// Copies a text or blob column's bytes as stored (a text's UTF-8, no terminator) into `out`
// when the stored form `matches` the value's type; returns `matches`. SQLite gives an empty
// value's pointer as null.
template <typename Bytes>
bool CopyStoredBytes(sqlite3_stmt* s, int column, bool matches, Bytes& out) {
    if (!matches) {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(s, column));
    const int size = sqlite3_column_bytes(s, column);  // after the pointer, as SQLite asks
    if (bytes != nullptr && size > 0) {
        out.assign(bytes, bytes + size);
    }
    return true;
}

Row RowFromStatement(sqlite3_stmt* s) {
    Row row;
    SettingValue& value = row.value;
    value.name = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    const int stored = sqlite3_column_type(s, 2);
    switch (sqlite3_column_int(s, 1)) {
        case kTypeDword: {
            value.type = SettingType::Dword;
            const sqlite3_int64 number = sqlite3_column_int64(s, 2);
            // Up to 0xFFFFFFFF: the registry's DWORD is unsigned, ours its 32-bit pattern.
            row.matches = stored == SQLITE_INTEGER && number >= INT32_MIN && number <= UINT32_MAX;
            value.dword = row.matches ? static_cast<int32_t>(static_cast<uint32_t>(number)) : 0;
            break;
        }
        case kTypeText:
            value.type = SettingType::Text;
            row.matches = CopyStoredBytes(s, 2, stored == SQLITE_TEXT, value.text);
            break;
        case kTypeBinary:
            value.type = SettingType::Binary;
            row.matches = CopyStoredBytes(s, 2, stored == SQLITE_BLOB, value.binary);
            break;
        default:
            value.type = SettingType::Binary;
            row.matches = false;  // a type number of no registry type
            break;
    }
    return row;
}

SettingValueError InvalidType(const std::string& name) {
    return SettingValueError("Invalid data type for '" + name + "'");
}

}  // namespace

void SqliteSettingsStore::Closer::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

SqliteSettingsStore::SqliteSettingsStore(std::filesystem::path file, Handle db)
    : file_(std::move(file)), db_(std::move(db)) {}

SqliteSettingsStore::~SqliteSettingsStore() = default;

std::unique_ptr<SqliteSettingsStore> SqliteSettingsStore::Open(const std::filesystem::path& file) {
    try {
        CheckCompanions(file, CheckFileKind(file));
        std::error_code error;
        if (file.has_parent_path()) {
            std::filesystem::create_directories(file.parent_path(), error);
            if (error) {
                throw OpenFailure{"its folder cannot be created (" + error.message() + ")"};
            }
        }
        CheckFolder(file);
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
        // A write-ahead log with a full sync: each write appends to the log and syncs it
        // once, and a committed write survives a crash or a power cut. The log is copied
        // into the file from time to time and when the store closes.
        if (QueryText(db.get(), "PRAGMA journal_mode = WAL") != "wal") {
            throw OpenFailure{"its write-ahead log cannot be used"};
        }
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

std::optional<SqliteSettingsStore::Fetched> SqliteSettingsStore::Fetch(
    const std::string& name) const {
    auto statement = Prepare(db_.get(), "SELECT name, type, value FROM settings WHERE name = ?1");
    if (!statement) {
        throw SettingValueError("Failed to get data for '" + name + "'");
    }
    sqlite3_bind_text(statement.get(), 1, name.data(), static_cast<int>(name.size()),
                      SQLITE_TRANSIENT);
    const int step = sqlite3_step(statement.get());
    if (step == SQLITE_DONE) {
        return std::nullopt;
    }
    if (step != SQLITE_ROW) {
        throw SettingValueError("Failed to get data for '" + name + "'");
    }
    Row row = RowFromStatement(statement.get());
    return Fetched{std::move(row.value), row.matches};
}

void SqliteSettingsStore::Store(const SettingValue& value) {
    const std::string& name = value.name;
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

void SqliteSettingsStore::BeginBatch() {
    if (batchDepth_++ > 0) {
        return;
    }
    if (sqlite3_exec(db_.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        batchDepth_ = 0;
        throw SettingsError("Failed to write data to '" + file_.string() +
                            "': " + sqlite3_errmsg(db_.get()));
    }
}

void SqliteSettingsStore::EndBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0) {
        return;
    }
    if (sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string why = sqlite3_errmsg(db_.get());
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw SettingsError("Failed to write data to '" + file_.string() + "': " + why);
    }
}

void SqliteSettingsStore::AbandonBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0) {
        return;  // an inner batch: the outermost decides
    }
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

std::vector<SettingValue> SqliteSettingsStore::Enumerate() const {
    std::vector<SettingValue> values;
    auto statement = Prepare(db_.get(), "SELECT name, type, value FROM settings ORDER BY id");
    int step = statement ? sqlite3_step(statement.get()) : SQLITE_ERROR;
    for (; step == SQLITE_ROW; step = sqlite3_step(statement.get())) {
        Row row = RowFromStatement(statement.get());
        if (!row.matches) {
            throw InvalidType(row.value.name);  // no line may claim a value the file lacks
        }
        values.push_back(std::move(row.value));
    }
    if (step != SQLITE_DONE) {
        throw SettingsError("Cannot list the settings in '" + file_.string() +
                            "': " + sqlite3_errmsg(db_.get()));
    }
    return values;
}

}  // namespace quillon
