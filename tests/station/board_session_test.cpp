// The board's start-up greeting, plug-in and plug-out, and the close sequence, through a
// station bound to an in-process virtual board. What reached the board comes from its trace,
// interleaved with the waits, boxes, log lines, status texts and control levels.

#include <gtest/gtest.h>

#include <sstream>

#include "chip/chip_id_strings.h"
#include "config/setting_names.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "station_fixture.h"
#include "tests/support/ec_scenario.h"
#include "tests/support/pin_set_ini.h"
#include "tests/support/sequence_panel.h"
#include "tests/support/station_probe.h"

namespace quillon {
namespace {

using Events = std::vector<std::string>;

// The bench's "PinSet.ini". The start-up loads the stored set (PinDefNum, 0 unless preset).
const char* const kBenchPinSets =
    "[SetNum]\nNum=2\n[PinSet]\n"
    "0=01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,Bench\n"
    "1=20,19,18,17,16,15,14,13,12,11,10,09,08,07,06,Spare\n";

// An EC on KBS and SMBus behind a pin-number board of kind 1 with its pins stored.
sim::Scenario EcBench() {
    sim::Scenario scenario = testing::EcScenario();
    scenario.board.firmwareMajor = 0x02;
    scenario.board.firmwareMinor = 0x15;
    scenario.board.controllerKind = 1;
    scenario.board.pinDefinitionKind = 0;
    scenario.board.storedPins =
        std::array<uint8_t, 15>{3, 1, 4, 15, 9, 2, 6, 5, 34, 8, 7, 19, 20, 21, 22};
    return scenario;
}

// A USB-PD controller and nothing on the debugger port.
sim::Scenario PdBench(uint8_t register1C34) {
    sim::Scenario scenario;
    sim::PdSpec pd;
    pd.registers = {{0x1C34, register1C34}, {0xFFD3, 0x41}, {0xFFC4, 0x02}};
    scenario.pd = pd;
    return scenario;
}

sim::Scenario SocketBench() {
    sim::Scenario scenario;
    scenario.socketPart = "W25Q128FV";
    return scenario;
}

std::string Describe(const sim::TraceEntry& entry) {
    std::string text = ">";
    for (uint8_t byte : entry.header) {
        text += " " + HexByte(byte);
    }
    if (entry.direction == 0 && !entry.data.empty()) {
        text += " <-";
        for (uint8_t byte : entry.data) {
            text += " " + HexByte(byte);
        }
    }
    return text;
}

std::vector<std::string> Tokens(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;) {
        tokens.push_back(token);
    }
    return tokens;
}

// A transfer ("> F2 20 0B") matches when its leading tokens agree; "*" matches any byte.
// Every other event matches exactly.
bool Matches(const std::string& expected, const std::string& actual) {
    if (expected.rfind(">", 0) != 0) {
        return expected == actual;
    }
    const auto want = Tokens(expected);
    const auto got = Tokens(actual);
    if (want.size() > got.size()) {
        return false;
    }
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (want[i] != "*" && want[i] != got[i]) {
            return false;
        }
    }
    return true;
}

::testing::AssertionResult SameEvents(const Events& expected, const Events& actual) {
    bool same = expected.size() == actual.size();
    for (std::size_t i = 0; same && i < expected.size(); ++i) {
        same = Matches(expected[i], actual[i]);
    }
    if (same) {
        return ::testing::AssertionSuccess();
    }
    auto failure = ::testing::AssertionFailure() << "\n  expected:";
    for (const auto& e : expected) {
        failure << "\n    " << e;
    }
    failure << "\n  actual:";
    for (const auto& e : actual) {
        failure << "\n    " << e;
    }
    return failure;
}

class BoardSessionTest : public ::testing::Test {
protected:
    // Builds the board; `plugged` false starts the run without a board.
    void Board(const sim::Scenario& scenario, bool plugged = true) {
        board = std::make_unique<sim::VirtualBoard>(scenario);
        if (!plugged) {
            board->Unplug();
        }
        attached = std::make_unique<sim::InProcessBoard>(*board);
    }
    void Preset(const std::function<void(SettingsStore&)>& write) {
        write(*SqliteSettingsStore::Open(file));
    }
    void Mode(int mode) {
        Preset([mode](SettingsStore& s) { s.WriteInt(setting::kConnectMode, mode); });
    }

    // Runs start-up on the bench's pin sets (or those a test put in `pinSets`); the events are
    // those from the plugged-out status on.
    Station& Start(DriverLoader driver = FixedDriverLoader(sim::InProcessDriverFunctions())) {
        testing::WritePinSetIni(iniDir.Path(), pinSets);
        station = std::make_unique<Station>(panel, clock, timer,
                                            StationOptions{file, iniDir.Path()}, std::move(driver));
        panel.onEvent = [this](const std::string& event) {
            if (event == "controls") {
                return;  // the window mirroring the state is no step of its own
            }
            if (event == "status0 USB Device 'Vessa' Plug-Out") {
                recording = true;
            }
            Note(event);
        };
        clock.onSleep = [this](Millis d) { Note("wait " + std::to_string(d.count())); };
        station->RunStartup();
        return *station;
    }

    // The Setup page's pin grid in the form for a pin-number board (two rows, a tall second).
    bool PinNumberGrid() const {
        const auto& pins = station->Controls().setup.pins;
        return pins.gridRows == 2 && pins.secondRowHeight == 33;
    }

    // Events from now on.
    Events Take() {
        Flush();
        Events taken;
        taken.swap(events);
        recording = true;
        return taken;
    }

    // Starts on `scenario` in connect `mode` with the target in flash mode, then pulls the
    // board out. The events of the plug-out.
    Events PullOutInFlashMode(const sim::Scenario& scenario, int mode) {
        Board(scenario);
        Mode(mode);
        Station& s = Start();
        Probe(s).Flags().inFlashMode = true;
        Take();
        board->Unplug();
        s.Session().OnBoardRemoved();
        return Take();
    }

    void Note(const std::string& event) {
        if (!recording) {
            seen = board ? board->Trace().size() : 0;
            return;
        }
        Flush();
        events.push_back(event);
    }
    void Flush() {
        if (!board) {
            return;
        }
        const auto& trace = board->Trace();
        for (; seen < trace.size(); ++seen) {
            if (recording) {
                events.push_back(Describe(trace[seen]));
            }
        }
    }

    testing::TempDir dir;
    testing::TempDir iniDir;
    std::filesystem::path file = dir / "settings.sqlite";
    std::string pinSets = kBenchPinSets;
    testing::SequencePanel panel;
    VirtualClock clock;
    ManualTimer timer;
    std::unique_ptr<sim::VirtualBoard> board;
    std::unique_ptr<sim::InProcessBoard> attached;
    std::unique_ptr<Station> station;
    Events events;
    bool recording = false;
    std::size_t seen = 0;
};

const std::string kPrompt = "box Warning: Please Turn on KavoEC Power!";
const std::string kFirmware = "log USB Device 'Vessa-KQ11ED' : F/W Version=02.15";

// ---- start-up, per connect mode ------------------------------------------------------

TEST_F(BoardSessionTest, KbsStartupTakesTheBoardsPinsAndPrompts) {
    Board(EcBench());
    Preset([](SettingsStore& s) {
        s.WriteInt(setting::kConnectMode, 1);
        s.WriteInt(setting::kPinDefSource, 1);
        s.WriteBool(setting::kDualFlash, true);
        s.WriteBool(setting::kInternalClock, true);
    });
    Station& s = Start();
    // The board's own copy, read from its record, replaces the bench's set 0 before the pins
    // are sent.
    EXPECT_TRUE(
        SameEvents({"status0 USB Device 'Vessa' Plug-Out", "status1 Kavo EC Power-Off",
                    "status0 USB Device 'Vessa' Plug-In",
                    "> F2 20 0A",  // DualFlash: the internal flash
                    "> F0 02", kFirmware,
                    "> F2 1A * * 01 DC 00 10",  // the record's pin definition at 0x1DC00, 16 bytes
                    "> F2 05 * * * * * * * <- 03 01 04 0F 09 02 06 05 22 08 07 13 14 15 16",
                    "> F2 20 05",  // InternalClock
                    "level 3 off", "level 4 on", kPrompt},
                   Take()));
    EXPECT_TRUE(Probe(s).EFlash().internalFlashSelected);
    EXPECT_EQ(s.Session().PinDefinitionKind(), 0);
    EXPECT_EQ(board->LastConnectParameter(), 9000);
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_TRUE(s.MainPageActive());
    EXPECT_EQ(board->KbsPinDefinition(), *EcBench().board.storedPins);
    // The grid shows the board's pins in its pin-number form.
    EXPECT_TRUE(PinNumberGrid());
    EXPECT_EQ(s.Controls().setup.pins.labels,
              (std::array<std::string, 15>{"Pin03", "Pin01", "Pin04", "Pin15", "Pin09", "Pin02",
                                           "Pin06", "Pin05", "Pin34", "Pin08", "Pin07", "Pin19",
                                           "Pin20", "Pin21", "Pin22"}));
}

// The in-process driver, except that a read of the board's flash answers 2: data came, but
// not the library's success.
uint8_t ReadBoardFlashAnswering2(const uint8_t* header, uint32_t length, uint8_t* buffer) {
    const uint8_t result =
        sim::InProcessDriverFunctions().readDataFromDevice(header, length, buffer);
    constexpr uint8_t kReadBoardFlash = 0x1A;
    return result == 1 && header[0] == 0xF2 && header[1] == kReadBoardFlash ? 2 : result;
}

TEST_F(BoardSessionTest, KbsStartupTakesTheBoardsPinsOverOnlyOnTheLibrarysSuccess) {
    Board(EcBench());
    Preset([](SettingsStore& s) {
        s.WriteInt(setting::kConnectMode, 1);
        s.WriteInt(setting::kPinDefSource, 1);
    });
    VessaDriverFunctions driver = sim::InProcessDriverFunctions();
    driver.readDataFromDevice = ReadBoardFlashAnswering2;
    Station& s = Start(FixedDriverLoader(driver));
    // The bench's set 0 stays in use and is what the board is sent.
    EXPECT_EQ(s.Controls().setup.pins.labels[0], "Pin01");
    EXPECT_EQ(s.Controls().setup.pins.labels[8], "Pin09");
    EXPECT_EQ(board->KbsPinDefinition(),
              (std::array<uint8_t, 15>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

TEST_F(BoardSessionTest, KbsStartupOnAPinCodeBoardWithEFlashSourceSendsNoPins) {
    sim::Scenario scenario = EcBench();
    scenario.board.pinDefinitionKind = 1;
    scenario.board.controllerKind = 2;
    Board(scenario);
    Preset([](SettingsStore& s) {
        s.WriteInt(setting::kConnectMode, 1);
        s.WriteInt(setting::kPinDefSource, 1);
    });
    const auto boardPins = board->KbsPinDefinition();
    Station& s = Start();
    EXPECT_TRUE(SameEvents({"status0 USB Device 'Vessa' Plug-Out", "status1 Kavo EC Power-Off",
                            "status0 USB Device 'Vessa' Plug-In", "> F2 20 0B", "> F0 02",
                            "log USB Device 'Vessa-KQ775A' : F/W Version=02.15", "> F2 20 01",
                            "level 3 off", "level 4 on", kPrompt},
                           Take()));
    EXPECT_EQ(board->KbsPinDefinition(), boardPins);
    // The grid keeps its three-row pin-code form and the bench's set.
    EXPECT_FALSE(s.Pins().PinNumberBoard());
    EXPECT_EQ(s.Controls().setup.pins.gridRows, 3);
    EXPECT_EQ(s.Controls().setup.pins.labels[0], "Pin01");
}

TEST_F(BoardSessionTest, KbsStartupSendsThePinSetInUse) {
    Board(EcBench());
    Preset([](SettingsStore& s) {
        s.WriteInt(setting::kConnectMode, 1);  // PinDefSource stays "INI"
        s.WriteInt(setting::kPinDefNum, 1);    // "Spare": 20, 19, ... 06
    });
    Station& s = Start();
    EXPECT_TRUE(
        SameEvents({"status0 USB Device 'Vessa' Plug-Out", "status1 Kavo EC Power-Off",
                    "status0 USB Device 'Vessa' Plug-In", "> F2 20 0B", "> F0 02", kFirmware,
                    "> F2 05 * * * * * * * <- 14 13 12 11 10 0F 0E 0D 0C 0B 0A 09 08 07 06",
                    "> F2 20 01", "level 3 off", "level 4 on", kPrompt},
                   Take()));
    EXPECT_EQ(board->KbsPinDefinition(),
              (std::array<uint8_t, 15>{20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6}));
    EXPECT_TRUE(PinNumberGrid());
    EXPECT_EQ(s.Controls().setup.pins.setIndex, 1);
    EXPECT_EQ(s.Controls().setup.pins.labels[0], "Pin20");
}

struct SmbusCase {
    int wave;
    bool breakAt0;
    int speed;
    Events beforePrompt;
    Events afterPrompt;
};

class SmbusStartup : public BoardSessionTest, public ::testing::WithParamInterface<SmbusCase> {};

TEST_P(SmbusStartup, SendsTheWaveAndSpeedCodesAroundThePrompt) {
    const SmbusCase& c = GetParam();
    Board(EcBench());
    Preset([&c](SettingsStore& s) {
        s.WriteInt(setting::kConnectMode, 2);
        s.WriteInt(setting::kSpecialWave, c.wave);
        s.WriteBool(setting::kBreakAt0, c.breakAt0);
        s.WriteInt(setting::kSmbusSpeed, c.speed);
    });
    Start();
    Events expected = {"status0 USB Device 'Vessa' Plug-Out",
                       "status1 Kavo EC Power-Off",
                       "status0 USB Device 'Vessa' Plug-In",
                       "> F2 20 0B",  // KbsPortControl: opcode F2 in every mode
                       "> F0 02",
                       kFirmware};
    expected.insert(expected.end(), c.beforePrompt.begin(), c.beforePrompt.end());
    expected.insert(expected.end(),
                    {"level 3 off", "level 4 on", kPrompt, "> F3 20 00", "wait 50"});
    expected.insert(expected.end(), c.afterPrompt.begin(), c.afterPrompt.end());
    EXPECT_TRUE(SameEvents(expected, Take()));
    EXPECT_TRUE(PinNumberGrid());  // the board's kind is taken in every mode
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SmbusStartup,
    ::testing::Values(SmbusCase{1, false, 1, {"> F3 20 01"}, {"> F3 20 02"}},
                      SmbusCase{2, true, 1, {"> F3 20 07"}, {"> F3 20 03"}},
                      SmbusCase{3, true, 2, {"> F3 20 0E"}, {"> F3 20 0F", "> F3 20 0D"}},
                      SmbusCase{3, false, 2, {"> F3 20 0E"}, {"> F3 20 0F", "> F3 20 0C"}},
                      // Values outside the groups send nothing.
                      SmbusCase{0, true, 3, {}, {}}));

TEST_F(BoardSessionTest, SocketStartupNeitherPromptsNorSendsMore) {
    Board(SocketBench());
    Mode(3);
    Start();
    EXPECT_TRUE(
        SameEvents({"status0 USB Device 'Vessa' Plug-Out", "status1 Kavo EC Power-Off",
                    "status0 USB Device 'Vessa' Plug-In", "> F2 20 0B", "> F0 02", kFirmware},
                   Take()));
    EXPECT_TRUE(panel.boxes.empty());
    EXPECT_TRUE(PinNumberGrid());
}

TEST_F(BoardSessionTest, PdStartupSetsBits7And4Of1C34) {
    Board(PdBench(0x00));
    Mode(4);
    Start();
    EXPECT_TRUE(
        SameEvents({"status0 USB Device 'Vessa' Plug-Out", "status1 Kavo EC Power-Off",
                    "status0 USB Device 'Vessa' Plug-In", "> F2 20 0B", "> F0 02", kFirmware,
                    "> F3 20 07", "level 3 off", "level 4 on", kPrompt, "> F3 20 00", "wait 50",
                    "> F3 20 03", "wait 200", "> F2 24 1C 34", "> F2 23 1C 34 * * * * * <- 80",
                    "> F2 24 1C 34", "> F2 23 1C 34 * * * * * <- 90", "wait 200"},
                   Take()));
    EXPECT_EQ(board->Pd()->Register(0x1C34), 0x90);
    EXPECT_EQ(board->LastConnectParameter(), 1000);
    EXPECT_TRUE(PinNumberGrid());
}

TEST_F(BoardSessionTest, PdStartupLeavesSetBitsAlone) {
    Board(PdBench(0x91));
    Mode(4);
    Start();
    const Events all = Take();
    const Events tail(all.end() - 4, all.end());
    EXPECT_TRUE(SameEvents({"wait 200", "> F2 24 1C 34", "> F2 24 1C 34", "wait 200"}, tail));
    EXPECT_EQ(board->Pd()->Register(0x1C34), 0x91);
}

TEST_F(BoardSessionTest, WithoutABoardNothingIsSentShownOrLogged) {
    Board(EcBench(), false);
    Mode(1);
    Station& s = Start();
    EXPECT_TRUE(
        SameEvents({"status0 USB Device 'Vessa' Plug-Out", "status1 Kavo EC Power-Off"}, Take()));
    // The pin sets are filled all the same.
    EXPECT_EQ(s.Controls().setup.pins.setEntries,
              (std::vector<std::string>{"0 : Bench", "1 : Spare", kPinSetNewEntry}));
    EXPECT_EQ(s.Controls().setup.pins.labels[0], "Pin01");
    EXPECT_TRUE(board->Trace().empty());
    EXPECT_TRUE(panel.boxes.empty());
    EXPECT_EQ(panel.statusBoard, "USB Device 'Vessa' Plug-Out");
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_FALSE(s.InFlashMode());
    EXPECT_NE(s.Controls().main.iniValue, "");  // the parameter version still shows
}

TEST_F(BoardSessionTest, MalformedPinSetIsSkippedAndTheBoardStillGreeted) {
    Board(SocketBench());
    Mode(3);
    pinSets =
        "[SetNum]\nNum=1\n[PinSet]\n"
        "0=0x,02,03,04,05,06,07,08,09,10,11,12,13,14,15,Broken\n";
    Station& s = Start();
    EXPECT_TRUE(
        SameEvents({"status0 USB Device 'Vessa' Plug-Out", "status1 Kavo EC Power-Off",
                    "log Pin set 0 of PinSet.ini is skipped : The pin set's column KSO0 "
                    "holds \"0x\", not a pin number 01..34.",
                    "status0 USB Device 'Vessa' Plug-In", "> F2 20 0B", "> F0 02", kFirmware},
                   Take()));
    EXPECT_TRUE(panel.boxes.empty());
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_FALSE(s.Pins().NumbersToSend());  // no definition until a set is picked
    EXPECT_EQ(s.Controls().setup.pins.labels[0], " ");
}

// A stored set number that is no number ends the pin fill with one line; the board is still
// greeted.
TEST_F(BoardSessionTest, PinFillThatFailsOnTheStoreIsSkippedAndTheBoardStillGreeted) {
    Board(SocketBench());
    Preset([](SettingsStore& s) {
        s.WriteInt(setting::kConnectMode, 3);
        s.WriteText(setting::kPinDefNum, "0x");
    });
    Start();
    EXPECT_TRUE(
        SameEvents({"status0 USB Device 'Vessa' Plug-Out", "status1 Kavo EC Power-Off",
                    "log Pin set skipped: Invalid data type for 'PinDefNum'",
                    "status0 USB Device 'Vessa' Plug-In", "> F2 20 0B", "> F0 02", kFirmware},
                   Take()));
    EXPECT_TRUE(panel.boxes.empty());
    EXPECT_TRUE(timer.IsEnabled());
}

TEST_F(BoardSessionTest, FirmwareLineNamesTheBoardByItsControllerKind) {
    const std::pair<uint8_t, std::string> kinds[] = {
        {1, "USB Device 'Vessa-KQ11ED' : F/W Version=01.0A"},
        {0, "USB Device 'Vessa-KQ775A' : F/W Version=01.0A"},
        {2, "USB Device 'Vessa-KQ775A' : F/W Version=01.0A"}};
    for (const auto& [kind, line] : kinds) {
        sim::Scenario scenario = SocketBench();
        scenario.board.firmwareMajor = 0x01;
        scenario.board.firmwareMinor = 0x0A;
        scenario.board.controllerKind = kind;
        station.reset();
        attached.reset();
        Board(scenario);
        Mode(3);
        panel.mainLog.clear();
        Start();
        EXPECT_EQ(panel.mainLog.back(), line) << "kind " << int(kind);
        EXPECT_EQ(Probe(*station).BoardSide().BoardControllerKind(), kind);
    }
}

// ---- plug-in and plug-out --------------------------------------------------------------

TEST_F(BoardSessionTest, PlugInAfterAStartWithoutBoardGreetsAfterOneSecond) {
    Board(EcBench(), false);
    Mode(1);
    Station& s = Start();
    Take();
    board->Plug();
    s.Session().OnBoardArrived();
    EXPECT_TRUE(
        SameEvents({"log USB Device 'Vessa' Plug-In Detected!",
                    "status0 USB Device 'Vessa' Plug-In", "wait 1000", "> F0 02", kFirmware},
                   Take()));
    EXPECT_TRUE(s.BoardConnected());
    EXPECT_TRUE(panel.boxes.empty());  // no power prompt on plug-in

    // A second arrival while connected changes nothing.
    s.Session().OnBoardArrived();
    EXPECT_TRUE(Take().empty());
}

TEST_F(BoardSessionTest, PlugInWhoseBindFailsIsIgnored) {
    Board(EcBench(), false);
    Mode(1);
    Station& s = Start();
    Take();
    s.Session().OnBoardArrived();  // the board is still out
    EXPECT_TRUE(Take().empty());
    board->Plug();
    s.Session().OnBoardArrived();  // the next arrival tries again
    EXPECT_TRUE(s.BoardConnected());
}

TEST_F(BoardSessionTest, PlugInKeepsTheConnectionParameterChosenAtStartup) {
    Board(PdBench(0x90));
    Mode(4);
    Station& s = Start();
    s.Settings().WriteInt(setting::kConnectMode, 1);
    board->Unplug();
    s.Session().OnBoardRemoved();
    board->Plug();
    s.Session().OnBoardArrived();
    EXPECT_EQ(board->LastConnectParameter(), 1000);
    EXPECT_EQ(s.Session().ConnectionParameter(), 1000);
}

TEST_F(BoardSessionTest, PlugOutInKbsModeShowsPowerOffAndLeavesFlashMode) {
    EXPECT_TRUE(SameEvents({"log USB Device 'Vessa' Plug-Out Detected!",
                            "status0 USB Device 'Vessa' Plug-Out", "status1 Kavo EC Power-Off"},
                           PullOutInFlashMode(EcBench(), 1)));
    Station& s = *station;
    EXPECT_FALSE(s.InFlashMode());
    EXPECT_FALSE(s.BoardConnected());
    // Later commands are refused without reaching the board.
    board->Plug();
    EXPECT_FALSE(Probe(s).Board().KbsPortControl(PortAction::KbsRun).Answered());
    EXPECT_TRUE(Take().empty());
}

TEST_F(BoardSessionTest, PlugOutInSocketModeShowsFlashOfVessaAndKeepsFlashMode) {
    EXPECT_TRUE(SameEvents({"log USB Device 'Vessa' Plug-Out Detected!",
                            "status0 USB Device 'Vessa' Plug-Out", "status1 Flash of Vessa"},
                           PullOutInFlashMode(SocketBench(), 3)));
    EXPECT_TRUE(station->InFlashMode());
}

// ---- close ---------------------------------------------------------------------------------

TEST_F(BoardSessionTest, CloseInKbsModeLeavesThePortAndKeepsTheBoardBound) {
    Board(EcBench());
    Mode(1);
    Station& s = Start();
    Probe(s).Image().imageBuffer.assign(0x10000, 0x5A);
    const auto settingsBefore = s.Settings().Enumerate().size();
    Take();
    s.Session().CloseSequence();
    EXPECT_TRUE(SameEvents({"wait 500", "> F2 20 09", "> F2 20 00"}, Take()));
    EXPECT_FALSE(timer.IsEnabled());
    EXPECT_TRUE(s.BoardConnected());
    EXPECT_TRUE(s.Image().imageBuffer.empty());
    EXPECT_EQ(s.Settings().Enumerate().size(), settingsBefore);
    s.Session().CloseSequence();  // once only
    EXPECT_TRUE(Take().empty());
}

TEST_F(BoardSessionTest, CloseInSmbusModeSetsBit7Of1C08) {
    sim::Scenario scenario = EcBench();
    scenario.ec->registers[0x1C08] = 0x05;
    Board(scenario);
    Preset([](SettingsStore& s) {
        s.WriteInt(setting::kConnectMode, 2);
        s.WriteInt(setting::kSpecialWave, 3);
    });
    Station& s = Start();
    Take();
    s.Session().CloseSequence();
    EXPECT_TRUE(SameEvents({"wait 500", "> F3 24 1C 08", "> F3 23 1C 08 * * * * * <- 85",
                            "wait 300", "> F3 20 06", "> F3 20 00", "wait 500", "> F3 20 00"},
                           Take()));
    EXPECT_EQ(board->Ec()->Register(0x1C08), 0x85);
}

TEST_F(BoardSessionTest, CloseInSmbusModeWithBit7SetWritesNothing) {
    sim::Scenario scenario = EcBench();
    scenario.ec->registers[0x1C08] = 0x80;
    Board(scenario);
    Mode(2);  // SpecialWave 2
    Station& s = Start();
    Take();
    s.Session().CloseSequence();
    EXPECT_TRUE(SameEvents(
        {"wait 500", "> F3 24 1C 08", "wait 300", "> F3 20 00", "wait 500", "> F3 20 00"}, Take()));
}

TEST_F(BoardSessionTest, CloseInSocketModeOnlyWaits) {
    Board(SocketBench());
    Mode(3);
    Station& s = Start();
    Take();
    s.Session().CloseSequence();
    EXPECT_TRUE(SameEvents({"wait 500"}, Take()));
}

TEST_F(BoardSessionTest, CloseInPdModeWarnsThenTakesThePdOutOfTestMode) {
    Board(PdBench(0x90));
    Mode(4);
    Station& s = Start();
    Take();
    s.Session().CloseSequence();
    EXPECT_TRUE(SameEvents(
        {"wait 500",
         "box Reset PD: Exiting test mode will cause the PD to reset. The system will suddenly "
         "shut down!!",
         "> FC 11 * * * * 80", "wait 10", "> FC 16 FF D3 * * 80", "> FC 15 FF D3 * * 80 * * <- 51",
         "> FC 15 FF D1 * * 80 * * <- 01", "wait 200", "> FC 16 FF D3",
         "> FC 15 FF D3 * * * * * <- 41", "> FC 16 FF C4", "> FC 15 FF C4 * * * * * <- 12",
         "wait 300", "> F3 20 00", "wait 500", "> F3 20 00"},
        Take()));
    EXPECT_EQ(panel.boxes.back().kind, MessageKind::Warning);
    EXPECT_EQ(board->Pd()->Register(0xFFC4), 0x12);
}

TEST_F(BoardSessionTest, CloseInPdModeWarnsEvenWithoutABoard) {
    Board(PdBench(0x90), false);
    Mode(4);
    Station& s = Start();
    Take();
    s.Session().CloseSequence();
    EXPECT_TRUE(SameEvents({"wait 500",
                            "box Reset PD: Exiting test mode will cause the PD to reset. The "
                            "system will suddenly shut down!!",
                            "wait 10", "wait 200", "wait 300", "wait 500"},
                           Take()));
}

}  // namespace
}  // namespace quillon
