#include "records/record_sink.h"

#include "records/record_sinks.h"

namespace quillon {

std::unique_ptr<RecordSink> OpenRecordSink(const RecordTarget& target, int boardIndex) {
    for (const SinkKind& sink : kSinkKinds) {
        if (sink.kind == target.kind) {
            return sink.open(target, boardIndex);
        }
    }
    return nullptr;
}

}  // namespace quillon
