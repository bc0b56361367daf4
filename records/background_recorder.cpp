#include "records/background_recorder.h"

#include "records/station_record.h"

namespace quillon {

BackgroundRecorder::BackgroundRecorder(std::unique_ptr<RecordSink> sink, Notice notice)
    : sink_(std::move(sink)), notice_(std::move(notice)), worker_([this] { Work(); }) {}

BackgroundRecorder::~BackgroundRecorder() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void BackgroundRecorder::Keep(RunRecord record) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(record));
    }
    wake_.notify_one();
}

void BackgroundRecorder::Follow(Station& station) {
    station.Auto().onUnitDone = [this, &station](const AutoUnitReport& unit) {
        Keep(MakeRunRecord(station, unit.burnRun ? "burnrun" : "auto", unit));
    };
}

void BackgroundRecorder::Work() {
    if (auto* database = dynamic_cast<DatabaseRecordSink*>(sink_.get())) {
        database->ReplaySpool();
    }
    for (;;) {
        RunRecord record;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            record = std::move(queue_.front());
            queue_.pop_front();
        }
        try {
            if (const auto notice = sink_->Keep(record)) {
                notice_(*notice, false);
            }
        } catch (const RecordError& error) {
            notice_(error.what(), true);
        }
    }
}

}  // namespace quillon
