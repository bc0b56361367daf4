#pragma once

// A station's board link and command sets wired to an in-process virtual board, with helpers
// that compare what reached the board (its trace) with the expected headers in hex.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "board/board_commands.h"
#include "board/board_link.h"
#include "board/board_side_commands.h"
#include "config/memory_settings_store.h"
#include "runtime/message_log.h"
#include "runtime/window_timer.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "tests/support/ec_scenario.h"
#include "tests/support/recording_panel.h"

namespace quillon::test {

using Header = std::array<uint8_t, 9>;

inline std::string Hex(const Header& header) {
    std::ostringstream text;
    for (std::size_t i = 0; i < header.size(); ++i) {
        text << (i ? " " : "") << HexByte(header[i]);
    }
    return text.str();
}

// Expected and actual headers, both in hex, when they differ.
inline ::testing::AssertionResult SameHeader(const Header& expected, const Header& actual) {
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "\n  expected " << Hex(expected) << "\n  actual   " << Hex(actual);
}

// Records every change of Timer1 in order.
class RecordingTimer final : public ConnectionTimer {
public:
    void SetEnabled(bool enabled) override {
        enabled_ = enabled;
        changes.push_back(enabled);
    }
    bool IsEnabled() const override { return enabled_; }
    std::vector<bool> changes;

private:
    bool enabled_ = false;
};

// An EC on the target cable with a W25Q32FV behind it; board controller kind as given.
inline sim::Scenario EcScenario(uint8_t boardKind = 1) {
    sim::Scenario scenario = testing::EcScenario();
    scenario.board.controllerKind = boardKind;
    scenario.pd = sim::PdSpec{};
    scenario.socketPart = "W25Q32FV";
    return scenario;
}

// The station's side (link, both command sets, settings, log, Timer1) bound to a virtual
// board built from `scenario`. One at a time per process.
class Bench {
public:
    explicit Bench(const sim::Scenario& scenario = EcScenario())
        : board(scenario), attached(board) {
        settings.WriteInt("ConnectMode", 1);
        settings.WriteInt("SwitchRom", 0);
        bound = link.Bind(BoardLink::kDeviceIndex, BoardLink::kConnectParameter) == 1;
    }

    const std::vector<sim::TraceEntry>& Trace() const { return board.Trace(); }
    const sim::TraceEntry& Last() const { return board.Trace().back(); }
    Header Sent() const { return Last().header; }
    void SetMode(int mode) { settings.WriteInt("ConnectMode", mode); }
    // Fills P1..P7 with A1..A7, so a header shows which bytes a command left alone.
    void MarkParameters() {
        BoardCommand& r = link.Record();
        r.p1 = 0xA1, r.p2 = 0xA2, r.p3 = 0xA3, r.p4 = 0xA4, r.p5 = 0xA5, r.p6 = 0xA6, r.p7 = 0xA7;
    }

    sim::VirtualBoard board;
    sim::InProcessBoard attached;
    RecordingPanel panel;
    MessageLog log{panel};
    MemorySettingsStore settings;
    RecordingTimer timer1;
    BoardLink link{FixedDriverLoader(sim::InProcessDriverFunctions()), panel};
    BoardCommands commands{link, settings, log, timer1};
    BoardSideCommands boardSide{link, log};
    bool bound = false;
};

}  // namespace quillon::test
