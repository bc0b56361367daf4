#include "cli/records/record_target.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <memory>
#include <regex>

namespace quillon::cli {

namespace {

struct ConninfoFree {
    void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};
struct ErrorFree {
    void operator()(char* text) const { PQfreemem(text); }
};

std::string WithoutTrailingNewline(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::string WithoutPassword(const std::string& text) {
    static const std::regex userAndPassword(R"(((?:postgres|postgresql)://[^:/@\s]*):[^@/\s]*@)");
    return std::regex_replace(text, userAndPassword, "$1:***@");
}

bool IsDatabaseUri(const std::string& text) {
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

RecordTarget ParseRecordTarget(const std::string& text) {
    RecordTarget target;
    if (text.empty()) {
        return target;
    }
    if (!IsDatabaseUri(text)) {
        target.kind = RecordTarget::Kind::File;
        target.file = text;
        return target;
    }
    char* rawError = nullptr;
    std::unique_ptr<PQconninfoOption, ConninfoFree> options(
        PQconninfoParse(text.c_str(), &rawError));
    std::unique_ptr<char, ErrorFree> error(rawError);
    if (!options) {
        throw RecordTargetError("the database URI cannot be used: " +
                                (error ? WithoutPassword(WithoutTrailingNewline(error.get()))
                                       : std::string("out of memory")));
    }
    for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
        if (std::string(option->keyword) == "password" && option->val && *option->val) {
            // A password given here would show in the process list and the shell's history.
            throw RecordTargetError(
                "the database URI carries a password; put it in ~/.pgpass or PGPASSWORD "
                "instead");
        }
    }
    target.kind = RecordTarget::Kind::Database;
    target.connection = text;
    return target;
}

RecordTarget RecordTargetOrDefault(const std::string& option) {
    if (!option.empty()) {
        return ParseRecordTarget(option);
    }
    const char* fallback = std::getenv(kRecordEnvironment);
    return ParseRecordTarget(fallback ? fallback : "");
}

}  // namespace quillon::cli
