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

// Keeps a station's unit records, for either front-end: each record is made on the station's
// thread when its unit ends, from what the run carried, and written on a thread of the
// recorder's own, in order, so that a slow or absent database never holds up the station.
// What the sink set aside earlier (the database's spool) is replayed first.
class BackgroundRecorder {
public:
    // Called on the recorder's thread: a record went to the spool (`lost` false) or could
    // not be kept at all (`lost` true).
    using Notice = std::function<void(const std::string& line, bool lost)>;
    // Called on the recorder's thread with what the replay did, when it wrote records or
    // failed.
    using ReplayNotice = std::function<void(const std::string& line)>;

    BackgroundRecorder(std::unique_ptr<RecordSink> sink, Notice notice, ReplayNotice replayed = {});
    // Writes whatever is still queued before it returns.
    ~BackgroundRecorder();
    BackgroundRecorder(const BackgroundRecorder&) = delete;
    BackgroundRecorder& operator=(const BackgroundRecorder&) = delete;

    // The record of a unit `action` ran, made now (the unit has just ended).
    void Keep(const std::string& action, const AutoUnitReport& unit);
    void Keep(StoredUnit unit);
    void Keep(const RunRecord& record);

    // Records every Auto Flash run ("auto") and BurnRun pass ("burnrun") of `station`.
    void Follow(Station& station);

    // Returns once the replay and every record handed over so far are done with.
    void Wait();

private:
    void Work();
    void Replay();

    std::unique_ptr<RecordSink> sink_;
    Notice notice_;
    ReplayNotice replayed_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<StoredUnit> queue_;
    bool busy_ = true;  // replaying, or writing a record taken off the queue
    bool stopping_ = false;
    std::thread worker_;  // last: it starts once everything above is ready
};

}  // namespace quillon
