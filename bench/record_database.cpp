// A station's records into a line's PostgreSQL database, a real server from the system's
// packages started in a temporary folder:
//   BM_RecordUnit/durable:1: one unit's record kept (made, written, committed) per iteration
//     against the server's default durability (fsync on): its time is what recording adds to
//     a unit (target: at most 5 ms), items_per_second the records per second one station can
//     write (target: at least 500). Each unit is its own transaction, so this is bound by one
//     WAL flush of the disk per record (pg_test_fsync shows the disk's figure).
//   BM_RecordUnit/durable:0: the same with fsync off: the station's and the server's own
//     cost without the disk's flush.
//   BM_ReplaySpool: a backlog of 1000 spooled records (the database was away) going into the
//     durable database, kReplayBatch records a commit; items_per_second the records per second.
//   BM_ConnectAtStart: what a run pays once, before its first unit: connect, schema check,
//     a look at the (empty) spool. quillon-cli does this beside its first unit, not before.
// Run on the disk the database uses; the figures are read from a release build.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "records/record_sink.h"
#include "tests/support/postgres_server.h"
#include "tests/support/temp_dir.h"

namespace {

using quillon::DatabaseRecordSink;
using quillon::RunRecord;
using quillon::UnitSpool;

struct Line {
    explicit Line(bool durable) : server(dir.Path(), durable) {
        ::setenv("PGPASSWORD", quillon::testing::PostgresServer::kStationPassword, 1);
    }
    quillon::testing::TempDir dir;
    quillon::testing::PostgresServer server;
};

// The server as a line runs it (every commit flushed to the disk), or with fsync off: the
// second shows what the station itself costs, apart from the disk's flush.
Line& TheLine(bool durable) {
    static Line durableLine(true);
    static Line volatileLine(false);
    return durable ? durableLine : volatileLine;
}

RunRecord Unit() {
    RunRecord record;
    record.time = quillon::UtcNow();
    record.action = "burnrun";
    record.chipCode = "8987";
    record.chipVersion = "0A";
    record.flashId = "EF 40 16";
    record.part = "Winbond / W25Q32";
    record.imagePath = "/srv/images/ec-1.2.bin";
    record.imageSize = 131072;
    record.imageCrc32 = 0x1a2b3c4d;
    for (const char* name : {"erase", "check", "program", "verify"}) {
        record.unit.steps.push_back({name, {quillon::StepResult::Ok, 0, 0, {}, 1.25}});
    }
    record.unit.totalSeconds = 5.0;
    record.unit.outcome = quillon::StepResult::Ok;
    return record;
}

void BM_RecordUnit(benchmark::State& state) {
    Line& line = TheLine(state.range(0) != 0);
    DatabaseRecordSink sink(line.server.Uri(), UnitSpool(line.dir / "spool"));
    sink.ReplaySpool();  // connects: a run does this once, before its first unit
    const RunRecord record = Unit();
    for (auto _ : state) {
        if (sink.Keep(quillon::StoredUnitFrom(record))) {
            state.SkipWithError("the record went to the spool");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RecordUnit)
    ->ArgName("durable")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_ReplaySpool(benchmark::State& state) {
    constexpr int kBacklog = 1000;
    Line& line = TheLine(true);
    UnitSpool spool(line.dir / "backlog");
    DatabaseRecordSink sink(line.server.Uri(), spool);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kBacklog; ++i) {
            spool.Append(quillon::StoredUnitFrom(Unit()));
        }
        state.ResumeTiming();
        if (sink.ReplaySpool()->stored != kBacklog) {
            state.SkipWithError(("the backlog was not stored: " + sink.Problem()).c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kBacklog);
}
BENCHMARK(BM_ReplaySpool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ConnectAtStart(benchmark::State& state) {
    Line& line = TheLine(true);
    for (auto _ : state) {
        DatabaseRecordSink sink(line.server.Uri(), UnitSpool(line.dir / "spool"));
        sink.ReplaySpool();
        if (!sink.Connected()) {
            state.SkipWithError(sink.Problem().c_str());
            break;
        }
    }
}
BENCHMARK(BM_ConnectAtStart)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
