#include "records/record_fields.h"

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>
#include <type_traits>
#include <variant>

#include <nlohmann/json.hpp>

#include "records/escaped_text.h"
#include "records/json_out.h"
#include "records/stored_unit.h"

namespace quillon {

namespace {

using Member = std::variant<std::string StoredUnit::*, int StoredUnit::*, uint64_t StoredUnit::*,
                            std::optional<uint32_t> StoredUnit::*, double StoredUnit::*,
                            std::vector<StoredStep> StoredUnit::*>;

// A member of the record (or of the facts it holds) as the table names it.
constexpr Member Of(std::string StoredUnit::*member) {
    return member;
}
constexpr Member Of(int StoredUnit::*member) {
    return member;
}
constexpr Member Of(uint64_t StoredUnit::*member) {
    return member;
}
constexpr Member Of(std::optional<uint32_t> StoredUnit::*member) {
    return member;
}
constexpr Member Of(double StoredUnit::*member) {
    return member;
}
constexpr Member Of(std::vector<StoredStep> StoredUnit::*member) {
    return member;
}

// One field of a unit's record.
struct Field {
    const char* name;    // the CSV column, the JSON member and the database column
    Member member;       // where the record holds it
    const char* column;  // the database column's type and constraints
    int schema = 1;      // the schema version that added it; a record from before reads default
    RecordForm form = RecordForm::File;  // File: every form holds it; Stored: not a record file
    const char* index = nullptr;         // the columns of the database's index on it, if any
    const char* selected = nullptr;      // how the database reads it back, when not as it is
};

// Every field of a unit's record, in the order of the CSV columns and the JSON members. A new
// field comes last, with the schema version that adds its column.
constexpr std::array kFields = {
    Field{"id", Of(&StoredUnit::id), "uuid PRIMARY KEY", 1, RecordForm::Stored},
    Field{"station", Of(&StoredUnit::station), "text NOT NULL", 1, RecordForm::Stored},
    Field{"time", Of(&StoredUnit::time), "timestamptz NOT NULL", 1, RecordForm::File, "time",
          R"(to_char(time AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'))"},
    Field{"action", Of(&StoredUnit::action), "text NOT NULL"},
    Field{"pass", Of(&StoredUnit::pass), "integer NOT NULL"},
    Field{"chip_code", Of(&StoredUnit::chipCode), "text NOT NULL"},
    Field{"chip_version", Of(&StoredUnit::chipVersion), "text NOT NULL"},
    Field{"flash_id", Of(&StoredUnit::flashId), "text NOT NULL"},
    Field{"part", Of(&StoredUnit::part), "text NOT NULL"},
    Field{"image", Of(&StoredUnit::imagePath), "text NOT NULL"},
    Field{"image_size", Of(&StoredUnit::imageSize), "bigint NOT NULL"},
    Field{"image_crc32", Of(&StoredUnit::imageCrc32), "text CHECK (image_crc32 ~ '^[0-9a-f]{8}$')",
          1, RecordForm::File, "image_crc32"},
    Field{"steps", Of(&StoredUnit::steps), "jsonb NOT NULL"},
    Field{"total_seconds", Of(&StoredUnit::totalSeconds), "double precision NOT NULL"},
    Field{"outcome", Of(&StoredUnit::outcome), "text NOT NULL", 1, RecordForm::File,
          "outcome, time"},
    // Rows from before the board were all flashed on board 0, the only one a station used
    // then: they get 0, never NULL, so every query counts them.
    Field{"board", Of(&StoredUnit::board), "integer NOT NULL DEFAULT 0 CHECK (board >= 0)", 2},
};

constexpr int NewestSchema() {
    int newest = 0;
    for (const Field& field : kFields) {
        newest = std::max(newest, field.schema);
    }
    return newest;
}
static_assert(NewestSchema() == kUnitSchemaVersion, "a new field needs a new schema version");

template <typename T, typename V>
constexpr bool kIs = std::is_same_v<std::decay_t<V>, T>;

using Crc = std::optional<uint32_t>;
using Steps = std::vector<StoredStep>;

bool InFiles(const Field& field) {
    return field.form == RecordForm::File;
}

// Absent from a record, the field reads as its default: it came later, or files lack it.
bool MayBeAbsent(const Field& field) {
    return field.schema > 1 || !InFiles(field);
}

nlohmann::ordered_json StepsJson(const Steps& steps) {
    auto array = nlohmann::ordered_json::array();
    for (const auto& step : steps) {
        array.push_back({{"name", step.name},
                         {"result", step.result},
                         {"seconds", step.seconds},
                         {"retries", step.retries ? nlohmann::ordered_json(*step.retries)
                                                  : nlohmann::ordered_json(nullptr)}});
        if (!step.cause.empty()) {
            array.back()["cause"] = step.cause;
        }
    }
    return array;
}

Steps StepsFromJson(const nlohmann::json& steps) {
    Steps out;
    for (const auto& step : steps) {
        StoredStep stored;
        stored.name = step.at("name").get<std::string>();
        stored.result = step.at("result").get<std::string>();
        stored.seconds = step.at("seconds").get<double>();
        if (const auto retries = step.find("retries");
            retries != step.end() && !retries->is_null()) {
            stored.retries = retries->get<int>();
        }
        stored.cause = step.value("cause", "");
        out.push_back(std::move(stored));
    }
    return out;
}

// The database's text of a field (nothing: NULL).
std::optional<std::string> SqlText(const StoredUnit& unit, const Field& field) {
    return std::visit(
        [&](auto member) -> std::optional<std::string> {
            const auto& value = unit.*member;
            using T = decltype(value);
            if constexpr (kIs<std::string, T>) {
                return value;
            } else if constexpr (kIs<Crc, T>) {
                return value ? std::optional(Crc32Text(*value)) : std::nullopt;
            } else if constexpr (kIs<Steps, T>) {
                return nlohmann::json(StepsJson(value)).dump();
            } else if constexpr (kIs<double, T>) {
                return nlohmann::json(value).dump();
            } else {
                return std::to_string(value);
            }
        },
        field.member);
}

// A CSV record's cell of a field that takes one cell (every field but the steps).
std::string CsvText(const StoredUnit& unit, const Field& field) {
    if (const auto* seconds = std::get_if<double StoredUnit::*>(&field.member)) {
        return SecondsText(unit.**seconds);
    }
    return SqlText(unit, field).value_or("");
}

// Reads a field from its text (a CSV cell, a database column).
void ReadText(StoredUnit& unit, const Field& field, const std::string& text) {
    std::visit(
        [&](auto member) {
            auto& value = unit.*member;
            using T = decltype(value);
            if constexpr (kIs<std::string, T>) {
                value = text;
            } else if constexpr (kIs<int, T>) {
                value = std::stoi(text);
            } else if constexpr (kIs<uint64_t, T>) {
                value = std::stoull(text);
            } else if constexpr (kIs<Crc, T>) {
                value = Crc32FromText(text);
            } else if constexpr (kIs<double, T>) {
                value = std::stod(text);
            } else {
                value = StepsFromJson(nlohmann::json::parse(text));
            }
        },
        field.member);
}

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    return out + "\"";
}

// The CSV record of schema `version`: its header (no unit), or the unit's line.
std::string CsvRecord(int version, const StoredUnit* unit) {
    std::vector<std::string> cells;
    for (const Field& field : kFields) {
        if (!InFiles(field) || field.schema > version) {
            continue;
        }
        if (!std::holds_alternative<Steps StoredUnit::*>(field.member)) {
            cells.push_back(unit ? CsvCell(CsvText(*unit, field)) : field.name);
            continue;
        }
        // A result, seconds and retries column for each step a record has columns for.
        for (const auto& recorded : RecordedSteps()) {
            if (!unit) {
                cells.insert(cells.end(), {recorded.name, recorded.name + "_seconds",
                                           recorded.name + "_retries"});
                continue;
            }
            const auto step =
                std::find_if(unit->steps.begin(), unit->steps.end(),
                             [&](const StoredStep& s) { return s.name == recorded.name; });
            if (step == unit->steps.end()) {
                cells.insert(cells.end(), 3, "");
                continue;
            }
            cells.insert(cells.end(), {CsvCell(step->result), SecondsText(step->seconds),
                                       step->retries ? std::to_string(*step->retries) : ""});
        }
    }
    std::string line;
    for (const auto& cell : cells) {
        line += (&cell == &cells.front() ? "" : ",") + cell;
    }
    return line + "\n";
}

}  // namespace

std::string CsvHeaderOf(int version) {
    return CsvRecord(version, nullptr);
}

std::string CsvHeader() {
    return CsvHeaderOf(kUnitSchemaVersion);
}

std::string CsvHeaderBeforeBoard() {
    return CsvHeaderOf(1);
}

std::string CsvUnitLine(const StoredUnit& unit, int version) {
    return CsvRecord(version, &unit);
}

StoredUnit UnitFromCsv(const std::vector<std::string>& header,
                       const std::vector<std::string>& fields) {
    if (fields.size() != header.size()) {
        throw std::invalid_argument("column count");
    }
    std::map<std::string, std::string> row;
    for (std::size_t i = 0; i < header.size(); ++i) {
        row[header[i]] = fields[i];
    }
    auto at = [&](const std::string& name) -> const std::string& {
        const auto found = row.find(name);
        if (found == row.end()) {
            throw std::invalid_argument(name);
        }
        return found->second;
    };
    StoredUnit unit;
    for (const Field& field : kFields) {
        if (!InFiles(field) || (MayBeAbsent(field) && !row.contains(field.name))) {
            continue;
        }
        if (!std::holds_alternative<Steps StoredUnit::*>(field.member)) {
            ReadText(unit, field, at(field.name));
            continue;
        }
        for (const auto& recorded : RecordedSteps()) {
            const std::string& name = recorded.name;
            if (at(name).empty()) {
                continue;
            }
            StoredStep step{name, at(name), std::stod(at(name + "_seconds")), std::nullopt, {}};
            if (!at(name + "_retries").empty()) {
                step.retries = std::stoi(at(name + "_retries"));
            }
            unit.steps.push_back(step);
        }
    }
    return unit;
}

nlohmann::ordered_json UnitJson(const StoredUnit& unit, RecordForm form) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const Field& field : kFields) {
        if (form == RecordForm::File && !InFiles(field)) {
            continue;
        }
        object[field.name] = std::visit(
            [&](auto member) -> nlohmann::ordered_json {
                const auto& value = unit.*member;
                using T = decltype(value);
                if constexpr (kIs<Crc, T>) {
                    return value ? nlohmann::ordered_json(Crc32Text(*value))
                                 : nlohmann::ordered_json(nullptr);
                } else if constexpr (kIs<Steps, T>) {
                    return StepsJson(value);
                } else {
                    return value;
                }
            },
            field.member);
    }
    return object;
}

std::string JsonUnitLine(const StoredUnit& unit) {
    StoredUnit rounded = unit;
    for (auto& step : rounded.steps) {
        step.seconds = JsonSeconds(step.seconds);
    }
    rounded.totalSeconds = JsonSeconds(rounded.totalSeconds);
    return JsonText(UnitJson(rounded, RecordForm::File)) + "\n";
}

StoredUnit UnitFromJson(const nlohmann::json& object) {
    StoredUnit unit;
    for (const Field& field : kFields) {
        const auto found = object.find(field.name);
        if (found == object.end() && MayBeAbsent(field)) {
            continue;
        }
        const nlohmann::json& value = object.at(field.name);
        std::visit(
            [&](auto member) {
                auto& target = unit.*member;
                using T = decltype(target);
                if constexpr (kIs<Crc, T>) {
                    if (!value.is_null()) {
                        target = Crc32FromText(value.get<std::string>());
                    }
                } else if constexpr (kIs<Steps, T>) {
                    target = StepsFromJson(value);
                } else {
                    target = value.get<std::decay_t<T>>();
                }
            },
            field.member);
    }
    return unit;
}

std::string SqlColumns() {
    std::string columns;
    for (const Field& field : kFields) {
        columns += (columns.empty() ? "" : ", ") + std::string(field.name);
    }
    return columns;
}

std::string SqlSelectedColumns() {
    std::string columns;
    for (const Field& field : kFields) {
        columns += (columns.empty() ? "" : ", ") +
                   std::string(field.selected ? field.selected : field.name);
    }
    return columns;
}

std::size_t SqlColumnCount() {
    return kFields.size();
}

std::vector<std::optional<std::string>> SqlValues(const StoredUnit& unit) {
    std::vector<std::optional<std::string>> values;
    for (const Field& field : kFields) {
        values.push_back(SqlText(unit, field));
    }
    return values;
}

StoredUnit UnitFromSqlTexts(const std::vector<std::string>& texts) {
    StoredUnit unit;
    for (std::size_t i = 0; i < kFields.size() && i < texts.size(); ++i) {
        ReadText(unit, kFields[i], texts[i]);
    }
    return unit;
}

std::string SchemaStep(int version) {
    std::string sql;
    if (version == 1) {
        for (const Field& field : kFields) {
            if (field.schema == 1) {
                sql += std::string(sql.empty() ? "" : ",\n    ") + field.name + " " + field.column;
            }
        }
        sql = "CREATE TABLE IF NOT EXISTS quillon_unit (\n    " + sql + ");\n";
    }
    for (const Field& field : kFields) {
        if (field.schema == version && version > 1) {
            sql += "ALTER TABLE quillon_unit ADD COLUMN IF NOT EXISTS " + std::string(field.name) +
                   " " + field.column + ";\n";
        }
    }
    for (const Field& field : kFields) {
        if (field.schema == version && field.index) {
            sql += "CREATE INDEX IF NOT EXISTS quillon_unit_" + std::string(field.name) +
                   " ON quillon_unit (" + field.index + ");\n";
        }
    }
    return sql;
}

StoredUnit StorableUnit(StoredUnit unit) {
    for (const Field& field : kFields) {
        if (const auto* text = std::get_if<std::string StoredUnit::*>(&field.member)) {
            unit.** text = StorableText(unit.**text);
        }
    }
    for (auto& step : unit.steps) {
        step.name = StorableText(step.name);
        step.cause = StorableText(step.cause);
    }
    return unit;
}

}  // namespace quillon
