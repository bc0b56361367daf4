#pragma once

// The forms of a unit's record: the CSV and JSON Lines of a record file, the spool's JSON and
// the database's row. Each is derived from the one table of the record's fields
// (record_fields.cpp), which names every field once.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace quillon {

struct StoredUnit;

// The version of the record's fields, which is the database schema's: the board came with 2.
// Older databases are brought up to it.
inline constexpr int kUnitSchemaVersion = 2;

// Which fields a record's form holds.
enum class RecordForm {
    File,    // a record file's: no id, no station
    Stored,  // the spool's and the database's: every field
};

// The CSV header of a record file, with its line break; the columns come in the order a
// reader of an older file knows them, and the board, added later, comes last (a file without
// it reads as board 0).
std::string CsvHeader();
// The header of the record files of an older version (`version` < kUnitSchemaVersion).
std::string CsvHeaderOf(int version);
// The header of a CSV file begun before records named their board. AppendRecord keeps such a
// file in its own columns (without the board), so every line of a file matches its header.
std::string CsvHeaderBeforeBoard();
// The unit's CSV line, with its line break (in the columns of `version`).
std::string CsvUnitLine(const StoredUnit& unit, int version = kUnitSchemaVersion);
// A unit from a CSV record's fields under `header` (today's columns, or an older file's).
// Throws std::invalid_argument (std::out_of_range) when a column is missing or unreadable.
StoredUnit UnitFromCsv(const std::vector<std::string>& header,
                       const std::vector<std::string>& fields);

// The unit as one JSON object with its members in the order of the CSV columns (the steps as
// one array); nothing is rounded.
nlohmann::ordered_json UnitJson(const StoredUnit& unit, RecordForm form = RecordForm::Stored);
// The unit's JSON Lines line in a record file: seconds to the millisecond, with its line break.
std::string JsonUnitLine(const StoredUnit& unit);
// A unit from its JSON object (a record file's line, or the spool's). A field added later
// than the first records (the board), and the id and station a record file has not, read as
// their defaults when missing. Throws nlohmann::json::exception when a member is missing or of
// the wrong type.
StoredUnit UnitFromJson(const nlohmann::json& object);

// The database's columns, comma-separated, as an INSERT names them, and as a SELECT reads them
// back (the time as ISO 8601 UTC text).
std::string SqlColumns();
std::string SqlSelectedColumns();
std::size_t SqlColumnCount();
// The unit's values for those columns, as text; nothing for SQL NULL.
std::vector<std::optional<std::string>> SqlValues(const StoredUnit& unit);
// A unit from the texts of one selected row (NULL read as "").
StoredUnit UnitFromSqlTexts(const std::vector<std::string>& texts);
// The statements that bring the table `quillon_unit` from schema version `version` - 1 to
// `version` (1: made from nothing); each can run again without harm.
std::string SchemaStep(int version);

// The unit with every text in the form the records keep it (StorableText).
StoredUnit StorableUnit(StoredUnit unit);

}  // namespace quillon
