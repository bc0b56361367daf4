#pragma once

// A Station on a settings file and an INI folder of its own, bound (on demand) to an
// in-process virtual board whose trace shows what the board received.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "board/driver_loader.h"
#include "config/setting_names.h"
#include "config/sqlite_settings_store.h"
#include "runtime/clock.h"
#include "runtime/window_timer.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "station/pin_editor.h"
#include "station/station.h"
#include "tests/support/recording_panel.h"
#include "tests/support/temp_dir.h"

namespace quillon::test {

inline constexpr const char* kThreeSets =
    "[SetNum]\nNum=3\n[PinSet]\n"
    "0=01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,Default\n"
    "1=16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,KQ8 EVB\n"
    "2=15,14,13,12,11,10,09,08,07,06,05,04,03,02,01,Reversed\n";

// The editor dialog, answered from a script; nothing left = Cancel.
class ScriptedEditor final : public PinEditor {
public:
    std::optional<std::string> EditPin(const std::string& signal,
                                       const std::string& pinLabel) override {
        shownPins.emplace_back(signal, pinLabel);
        return Next(pinAnswers);
    }
    std::optional<std::string> AskSetName() override {
        ++namesAsked;
        return Next(nameAnswers);
    }

    std::deque<std::optional<std::string>> pinAnswers;
    std::deque<std::optional<std::string>> nameAnswers;
    std::vector<std::pair<std::string, std::string>> shownPins;
    int namesAsked = 0;

private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers) {
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// An EC on KBS and SMBus, a W25Q32FV in the socket; board kinds as given.
inline sim::Scenario PinScenario(uint8_t controllerKind, uint8_t pinDefinitionKind) {
    sim::Scenario scenario;
    scenario.board.controllerKind = controllerKind;
    scenario.board.pinDefinitionKind = pinDefinitionKind;
    scenario.board.storedPins =
        std::array<uint8_t, 15>{20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6};
    sim::EcSpec ec;
    ec.chipId = {0x84, 0x58, 0x01};
    ec.eflashSize = 0x20000;
    scenario.ec = ec;
    scenario.socketPart = "W25Q32FV";
    return scenario;
}

class PinStationTest : public ::testing::Test {
protected:
    void Preset(const std::function<void(SettingsStore&)>& write) {
        auto store = SqliteSettingsStore::Open(settingsFile);
        write(*store);
    }
    void WritePinSets(const std::string& text) {
        testing::WriteFileBytes(iniDir / "PinSet.ini", text);
    }
    std::string PinSetText() const { return testing::ReadFileBytes(iniDir / "PinSet.ini"); }

    // Builds the virtual board (before Start) with these kinds.
    void UseBoard(uint8_t controllerKind, uint8_t pinDefinitionKind) {
        attached.reset();
        board = std::make_unique<sim::VirtualBoard>(PinScenario(controllerKind, pinDefinitionKind));
        attached = std::make_unique<sim::InProcessBoard>(*board);
    }

    // The start-up with the board attached: the settings load, the pin fill, then the board's
    // greeting (firmware line, pin-definition kind, the power sequence of the connect mode).
    Station& Start() {
        if (!board) {
            UseBoard(1, 0);
        }
        station = std::make_unique<Station>(panel, clock, timer,
                                            StationOptions{settingsFile, iniDir.Path()},
                                            FixedDriverLoader(sim::InProcessDriverFunctions()));
        station->Pins().SetEditor(&editor);
        station->SetupLogic().GetSeams().loadEnabled = [this] { return panel.levelEnabled[2]; };
        station->RunStartup();
        return *station;
    }
    // The start-up has bound the board and greeted it once; the power prompt of its connect
    // mode has been answered. The trace and the boxes start afresh.
    void PastGreeting() {
        ASSERT_TRUE(station->BoardConnected());
        EXPECT_EQ(LinesStartingWith("USB Device 'Vessa-").size(), 1u);
        if (Reopen()->ReadInt("ConnectMode") != 3) {
            ASSERT_EQ(panel.boxes.size(), 1u);
            EXPECT_EQ(panel.boxes[0].text, "Please Turn on KavoEC Power!");
        } else {
            EXPECT_TRUE(panel.boxes.empty());
        }
        panel.boxes.clear();
        board->ClearTrace();
    }
    std::unique_ptr<SqliteSettingsStore> Reopen() {
        return SqliteSettingsStore::Open(settingsFile);
    }

    // The log lines that begin with `prefix`, in order.
    std::vector<std::string> LinesStartingWith(const std::string& prefix) const {
        std::vector<std::string> found;
        std::copy_if(panel.mainLog.begin(), panel.mainLog.end(), std::back_inserter(found),
                     [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
        return found;
    }
    // Transfers with this opcode and sub-command, in order.
    std::vector<sim::TraceEntry> Sent(uint8_t opcode, uint8_t sub) const {
        std::vector<sim::TraceEntry> found;
        for (const auto& entry : board->Trace()) {
            if (entry.header[0] == opcode && entry.header[1] == sub) {
                found.push_back(entry);
            }
        }
        return found;
    }
    // The pins of every SetKbsPinDefine the board received.
    std::vector<std::vector<uint8_t>> PinDefinesSent() const {
        std::vector<std::vector<uint8_t>> sent;
        for (const auto& entry : Sent(0xF2, 0x05)) {
            EXPECT_EQ(entry.direction, 0u);
            EXPECT_EQ(entry.length, 15u);
            sent.push_back(entry.data);
        }
        return sent;
    }
    SetupPageControls& SetupControls() { return station->Controls().setup; }

    testing::TempDir dir;
    testing::TempDir iniDir;
    std::filesystem::path settingsFile = dir / "settings.sqlite";
    RecordingPanel panel;
    VirtualClock clock;
    ManualTimer timer;
    ScriptedEditor editor;
    std::unique_ptr<sim::VirtualBoard> board;
    std::unique_ptr<sim::InProcessBoard> attached;
    std::unique_ptr<Station> station;
};

inline std::vector<uint8_t> Pins(std::initializer_list<int> pins) {
    std::vector<uint8_t> bytes;
    for (int pin : pins) {
        bytes.push_back(static_cast<uint8_t>(pin));
    }
    return bytes;
}

}  // namespace quillon::test
