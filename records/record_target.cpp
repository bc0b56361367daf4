#include "records/record_target.h"

#include <cstdlib>
#include <regex>

#include "records/record_sinks.h"

namespace quillon {

std::string WithoutPassword(const std::string& text) {
    static const std::regex userAndPassword(R"(((?:postgres|postgresql)://[^:/@\s]*):[^@/\s]*@)");
    return std::regex_replace(text, userAndPassword, "$1:***@");
}

bool IsDatabaseUri(const std::string& text) {
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

RecordTarget ParseRecordTarget(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    for (const SinkKind& sink : kSinkKinds) {
        if (sink.names(text)) {
            return sink.target(text);
        }
    }
    return {};
}

RecordTarget RecordTargetOrDefault(const std::string& option) {
    if (!option.empty()) {
        return ParseRecordTarget(option);
    }
    const char* fallback = std::getenv(kRecordEnvironment);
    return ParseRecordTarget(fallback ? fallback : "");
}

}  // namespace quillon
