#include "records/record_sinks.h"

#include <libpq-fe.h>

#include <memory>

namespace quillon {

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

RecordTarget DatabaseTarget(const std::string& uri) {
    char* rawError = nullptr;
    std::unique_ptr<PQconninfoOption, ConninfoFree> options(
        PQconninfoParse(uri.c_str(), &rawError));
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
    RecordTarget target;
    target.kind = RecordTarget::Kind::Database;
    target.connection = uri;
    return target;
}

}  // namespace quillon
