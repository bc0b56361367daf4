#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "records/record_sink.h"
#include "station/station.h"

namespace quillon {

// Keeps a station's unit records on a thread of its own, in order, so that a slow or absent
// database never holds up the window. The record is made on the station's thread at the end
// of the unit; only the writing waits. What the database spooled earlier is replayed first.
class BackgroundRecorder {
public:
    // Called on the recorder's thread: a record went to the spool (`lost` false) or could
    // not be kept at all (`lost` true).
    using Notice = std::function<void(const std::string& line, bool lost)>;

    BackgroundRecorder(std::unique_ptr<RecordSink> sink, Notice notice);
    // Writes whatever is still queued before it returns.
    ~BackgroundRecorder();
    BackgroundRecorder(const BackgroundRecorder&) = delete;
    BackgroundRecorder& operator=(const BackgroundRecorder&) = delete;

    void Keep(RunRecord record);

    // Records every Auto Flash run ("auto") and BurnRun pass ("burnrun") of `station`.
    void Follow(Station& station);

private:
    void Work();

    std::unique_ptr<RecordSink> sink_;
    Notice notice_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<RunRecord> queue_;
    bool stopping_ = false;
    std::thread worker_;  // last: it starts once everything above is ready
};

}  // namespace quillon
