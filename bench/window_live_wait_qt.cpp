// The window during one 5 s transfer on the virtual board in real time (offscreen): the
// longest gap between two repaints of the gauge while an animation drives it every 16 ms,
// and the time from a Stop press (posted as the platform would) to the log painted silver.
// Targets: both at most 100 ms. Argument 1 runs the call through the window's seam, 0 inline.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/widget_helpers.h"
#include "config/connect_mode.h"
#include "config/setting_names.h"
#include "config/sqlite_settings_store.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "tests/support/station_probe.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Timestamps every paint of a widget.
class PaintWatch final : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    std::vector<Clock::time_point> paints;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            paints.push_back(Clock::now());
        }
        return false;
    }
};

// The first paint of the log after the Stop press that shows it silver.
class SilverWatch final : public QObject {
public:
    SilverWatch(quillon::LogPaneWidget* log) : log_(log) {
        log->viewport()->installEventFilter(this);
    }
    std::optional<Clock::time_point> silverPainted;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !silverPainted &&
            log_->palette().color(QPalette::Base) == quillon::kSilver) {
            silverPainted = Clock::now();
        }
        return false;
    }

private:
    quillon::LogPaneWidget* log_;
};

void PostClick(QWidget* button) {
    const QPointF centre(button->width() / 2.0, button->height() / 2.0);
    const QPointF global = button->mapToGlobal(centre);
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, centre, global,
                                                        Qt::LeftButton, Qt::LeftButton, {}));
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, centre, global,
                                                        Qt::LeftButton, Qt::NoButton, {}));
}

void BM_FiveSecondTransferInTheWindow(benchmark::State& state) {
    quillon::sim::Scenario scenario;
    scenario.socketPart = "W25Q32FV";
    scenario.timing.realTime = true;
    scenario.timing.usbBytesPerSecond = 65536 / 5;  // one 64 KiB block takes 5 s
    quillon::sim::VirtualBoard board(scenario);
    quillon::sim::InProcessBoard attach(board);

    QTemporaryDir folder;
    quillon::StationOptions options;
    options.settingsPath = (folder.path() + "/settings.sqlite").toStdString();
    // The part sits in the board's own socket: start-up greets the board without a power
    // prompt, which would hold the benchmark in a modal box.
    quillon::SqliteSettingsStore::Open(options.settingsPath)
        ->WriteInt(quillon::setting::kConnectMode,
                   quillon::StoredValue(quillon::ConnectMode::Socket));
    quillon::MainWindow window(
        options, quillon::FixedDriverLoader(quillon::sim::InProcessDriverFunctions()));
    window.show();
    while (!window.GetStation().StartupDone()) {
        QCoreApplication::processEvents();
    }
    quillon::Station& station = window.GetStation();
    station.RunHandler(
        [&] { Probe(station).Link().Bind(0, quillon::BoardLink::kConnectParameter); });
    window.SetControlLevel(quillon::ControlLevel::StopAndBelow, true);
    // Argument 0: the library call made inline on the UI thread, for comparison.
    quillon::InlineCallRunner inlineRunner;
    if (state.range(0) == 0) {
        Probe(station).Link().UseCallRunner(inlineRunner);
    }

    auto* gauge = window.findChild<QProgressBar*>();
    auto* stop = window.findChild<QPushButton*>("BitBtn_Stop");
    auto* memo1 = window.findChild<quillon::LogPaneWidget*>("Memo1");
    PaintWatch gaugePaints(gauge);
    SilverWatch silver(memo1);

    std::vector<uint8_t> block(65536);
    for (auto _ : state) {
        int step = 0;
        QTimer animation;
        animation.setInterval(16);
        QObject::connect(&animation, &QTimer::timeout, [&] { window.SetProgress(step++ % 101); });
        Clock::time_point pressed{};
        QTimer::singleShot(2000, [&] {
            pressed = Clock::now();
            PostClick(stop);
        });
        gaugePaints.paints.clear();
        const auto start = Clock::now();
        animation.start();
        station.RunHandler([&] {
            Probe(station).ClearStop();
            quillon::BoardCommand& record = Probe(station).Link().Record();
            record.opcode = 0xF2;
            record.subCommand = 0x12;  // ReadBlock from the socket part
            record.p1 = 0;
            record.direction = quillon::kFromBoard;
            record.buffer = block.data();
            record.length = 65536;
            Probe(station).Link().Transfer(record);
        });
        const auto end = Clock::now();
        animation.stop();

        double longestGap = 0;
        Clock::time_point previous = start;
        for (const auto& paint : gaugePaints.paints) {
            if (paint > end) {
                break;
            }
            longestGap = std::max(longestGap, Ms(paint - previous));
            previous = paint;
        }
        longestGap = std::max(longestGap, Ms(end - previous));
        state.counters["transfer_ms"] = Ms(end - start);
        state.counters["gauge_paints"] = static_cast<double>(gaugePaints.paints.size());
        state.counters["longest_repaint_gap_ms"] = longestGap;
        state.counters["stop_to_silver_ms"] =
            silver.silverPainted ? Ms(*silver.silverPainted - pressed) : -1.0;
        state.counters["stop_registered"] = station.StopRequested() ? 1 : 0;
    }
}
BENCHMARK(BM_FiveSecondTransferInTheWindow)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
