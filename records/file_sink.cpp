// The record file: CSV or JSON Lines, named by any --record value that names no other place.
#include "records/record_sink.h"
#include "records/record_sinks.h"

namespace quillon {

bool NamesFile(const std::string&) {
    return true;
}

RecordTarget FileTarget(const std::string& text) {
    RecordTarget target;
    target.kind = RecordTarget::Kind::File;
    target.file = text;
    return target;
}

std::unique_ptr<RecordSink> OpenFileSink(const RecordTarget& target, int) {
    return std::make_unique<FileRecordSink>(target.file);
}

std::optional<std::string> FileRecordSink::Keep(const StoredUnit& unit) {
    try {
        AppendRecord(file_, unit);
    } catch (const std::exception& error) {
        throw RecordError(error.what());
    }
    return std::nullopt;
}

}  // namespace quillon
