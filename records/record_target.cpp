#include "records/record_target.h"

#include <cstdlib>
#include <regex>

#include "records/database_target.h"

namespace quillon {

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
    return DatabaseTarget(text);
}

RecordTarget RecordTargetOrDefault(const std::string& option) {
    if (!option.empty()) {
        return ParseRecordTarget(option);
    }
    const char* fallback = std::getenv(kRecordEnvironment);
    return ParseRecordTarget(fallback ? fallback : "");
}

}  // namespace quillon
