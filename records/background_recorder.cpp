#include "records/background_recorder.h"

namespace quillon {

BackgroundRecorder::BackgroundRecorder(std::unique_ptr<RecordSink> sink, Notice notice,
                                       ReplayNotice replayed)
    : sink_(std::move(sink)),
      notice_(std::move(notice)),
      replayed_(std::move(replayed)),
      worker_([this] { Work(); }) {}

BackgroundRecorder::~BackgroundRecorder() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void BackgroundRecorder::Keep(const std::string& action, const AutoUnitReport& unit) {
    Keep(RecordOfUnit(action, unit, UtcNow()));
}

void BackgroundRecorder::Keep(const RunRecord& record) {
    Keep(StoredUnitFrom(record));
}

void BackgroundRecorder::Keep(StoredUnit unit) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(unit));
    }
    wake_.notify_one();
}

void BackgroundRecorder::Follow(Station& station) {
    station.Auto().onUnitDone = [this](const AutoUnitReport& unit) {
        Keep(unit.burnRun ? "burnrun" : "auto", unit);
    };
}

void BackgroundRecorder::Wait() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !busy_ && queue_.empty(); });
}

void BackgroundRecorder::Replay() {
    std::string line;
    try {
        const auto replay = sink_->ReplaySpool();
        if (replay && replay->stored > 0) {
            line = std::to_string(replay->stored) + " spooled record(s) written to the database";
        }
    } catch (const std::exception& error) {
        // The spool stays as it was: the next run offers its records again.
        line = std::string("the spool was not replayed: ") + error.what();
    }
    if (!line.empty() && replayed_) {
        replayed_(line);
    }
}

void BackgroundRecorder::Work() {
    Replay();
    for (;;) {
        StoredUnit unit;
        {
            std::unique_lock lock(mutex_);
            busy_ = false;
            idle_.notify_all();
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            unit = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
        }
        try {
            if (const auto notice = sink_->Keep(unit)) {
                notice_(*notice, false);
            }
        } catch (const RecordError& error) {
            notice_(error.what(), true);
        }
    }
}

}  // namespace quillon
