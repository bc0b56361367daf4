#include "tests/pins/pin_fixture.h"
#include "tests/support/station_probe.h"

namespace quillon::test {
namespace {

constexpr uint8_t kKbs = 0xF2;
constexpr uint8_t kSmb = 0xF3;
constexpr uint8_t kReadChipId = 0x00;
constexpr uint8_t kReadFlashId = 0x01;
constexpr uint8_t kSendTargetKey = 0x06;
constexpr uint8_t kPortControl = 0x20;

// Action codes of KbsPortControl (0xF2) / SmbPortControl (0xF3), sub-command 0x20, in order.
std::vector<std::string> PortControls(const std::vector<sim::TraceEntry>& trace) {
    std::vector<std::string> sent;
    for (const auto& entry : trace) {
        if (entry.header[1] == kPortControl &&
            (entry.header[0] == kKbs || entry.header[0] == kSmb)) {
            sent.push_back(std::string(entry.header[0] == kKbs ? "KBS " : "SMB ") +
                           std::to_string(entry.header[2]));
        }
    }
    return sent;
}

bool Is(const sim::TraceEntry& entry, uint8_t opcode, uint8_t sub) {
    return entry.header[0] == opcode && entry.header[1] == sub;
}

class SetupPageTest : public PinStationTest {
protected:
    Station& StartBound(int connectMode) {
        WritePinSets(kThreeSets);
        Preset([connectMode](SettingsStore& s) { s.WriteInt("ConnectMode", connectMode); });
        Start();
        PastGreeting();
        panel.keepEvents = true;
        return *station;
    }
    std::vector<std::string> Ports() const { return PortControls(board->Trace()); }

    // Every connection check shows the target's state in the status bar exactly once; nothing
    // else on the page does. The texts shown since the greeting, in order.
    std::vector<std::string> TargetStatuses() const {
        std::vector<std::string> shown;
        const std::string prefix = "status ";
        for (const auto& event : panel.events) {
            if (event.rfind(prefix, 0) == 0) {
                shown.push_back(event.substr(prefix.size()));
            }
        }
        return shown;
    }
    // In the debugger modes a connection check begins with the chip-ID read of the mode: the
    // index of the first one from `from` on (the trace's size when none came).
    std::size_t CheckStart(uint8_t opcode, std::size_t from = 0) const {
        const auto& trace = board->Trace();
        for (std::size_t i = from; i < trace.size(); ++i) {
            if (Is(trace[i], opcode, kReadChipId)) {
                return i;
            }
        }
        return trace.size();
    }
    std::size_t Count(uint8_t opcode, uint8_t sub) const {
        return static_cast<std::size_t>(
            std::count_if(board->Trace().begin(), board->Trace().end(),
                          [&](const sim::TraceEntry& entry) { return Is(entry, opcode, sub); }));
    }
    // The port commands sent before the connection check began.
    std::vector<std::string> PortsBeforeCheck(uint8_t opcode) const {
        const auto& trace = board->Trace();
        return PortControls(std::vector<sim::TraceEntry>(
            trace.begin(), trace.begin() + static_cast<long>(CheckStart(opcode))));
    }
    // An EC on the debugger port answers one check with its chip ID, gets its flash selected
    // and is brought into flash mode (`ports`); the flash-ID read, at `end`, ends the check.
    void ExpectOneDebuggerCheck(uint8_t opcode, std::size_t end,
                                const std::vector<std::string>& ports, const std::string& status) {
        const auto& trace = board->Trace();
        const std::size_t start = CheckStart(opcode);
        ASSERT_LT(start, end);
        ASSERT_LT(end, trace.size());
        EXPECT_EQ(Count(opcode, kReadFlashId), 1u);
        EXPECT_TRUE(Is(trace[end], opcode, kReadFlashId));
        const std::vector<sim::TraceEntry> check(trace.begin() + static_cast<long>(start),
                                                 trace.begin() + static_cast<long>(end) + 1);
        EXPECT_EQ(PortControls(check), ports);
        EXPECT_EQ(TargetStatuses(), std::vector<std::string>{status});
    }
};

TEST_F(SetupPageTest, OpeningStopsTheCheckAndReleasesThePortOfTheMode) {
    const std::vector<std::pair<int, std::vector<std::string>>> cases = {
        {1, {"KBS 0"}}, {2, {"SMB 0"}}, {3, {}}, {4, {"SMB 0"}}};
    for (const auto& [mode, released] : cases) {
        SCOPED_TRACE(mode);
        StartBound(1);
        Reopen()->WriteInt("ConnectMode", mode);
        const auto sleepsBefore = clock.Sleeps().size();
        station->SetupLogic().Open();
        EXPECT_EQ(Ports(), released);
        EXPECT_EQ(panel.page, Page::Setup);
        EXPECT_FALSE(panel.levelEnabled[3]);
        EXPECT_FALSE(timer.IsEnabled());
        EXPECT_FALSE(station->MainPageActive());
        EXPECT_EQ(std::vector<Millis>(clock.Sleeps().begin() + static_cast<long>(sleepsBefore),
                                      clock.Sleeps().end()),
                  (std::vector<Millis>{Millis(500), Millis(500)}));
        station.reset();
        panel = RecordingPanel();
    }
}

// After OK the station addresses the flash the board was switched to, both ways, also when
// the operator had picked the other flash with the main window's buttons before.
TEST_F(SetupPageTest, OkLeavesTheStationOnTheFlashTheBoardSelected) {
    StartBound(1);
    for (const bool dualFlash : {true, false, true}) {
        station->RunHandler([&] {
            if (dualFlash) {
                station->Cycle().ExternalFlash();
            } else {
                station->Cycle().InternalFlash();
            }
        });
        station->SetupLogic().Open();
        SetupControls().dualFlash = dualFlash;
        ASSERT_TRUE(station->SetupLogic().Ok());
        EXPECT_EQ(board->Ec()->InternalSelected(), dualFlash);
        EXPECT_EQ(Probe(*station).EFlash().internalFlashSelected, dualFlash);
    }
}

TEST_F(SetupPageTest, OpeningDuringAnOperationOnlyWaits) {
    StartBound(1);
    panel.SetControlLevel(ControlLevel::FilesAndBelow, false);  // an operation runs
    const auto sleepsBefore = clock.Sleeps().size();
    station->SetupLogic().Open();
    EXPECT_EQ(clock.Sleeps().size(), sleepsBefore + 1);
    EXPECT_EQ(panel.page, Page::Main);
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_TRUE(board->Trace().empty());
}

TEST_F(SetupPageTest, KeyMatchStateFollowsTheStoreOnOpening) {
    StartBound(1);
    Reopen()->WriteBool("UnprotectKeyMatch", true);
    station->SetupLogic().Open();
    EXPECT_TRUE(SetupControls().keyGridEnabled);
    EXPECT_TRUE(SetupControls().eraseLast1KEnabled);
    // Unchecking disables both and unchecks "Erase Last 1K".
    SetupControls().unprotectKeyMatch = true;
    SetupControls().unprotectTheLast1K = true;
    station->SetupLogic().KeyMatchChanged(false);
    EXPECT_FALSE(SetupControls().keyGridEnabled);
    EXPECT_FALSE(SetupControls().eraseLast1KEnabled);
    EXPECT_FALSE(SetupControls().unprotectTheLast1K);
}

TEST_F(SetupPageTest, OkStoresEveryFieldAndEndsWithTheConnectionCheck) {
    StartBound(1);
    auto& logic = station->SetupLogic();
    logic.Open();
    board->ClearTrace();
    auto& s = SetupControls();
    s.allocationItem = 2;
    s.assignedAddress = "1E000";
    s.specialWaveItem = 0;
    s.internalClock = true;
    s.dualFlash = true;
    s.breakAt0 = false;
    s.keyCells = {"0b", "FF", "1", "00", "7", "80", "a5", "3C"};
    s.unprotectKeyMatch = true;
    s.unprotectTheLast1K = true;
    s.smbSpeedItem = 1;
    s.quickModeItem = 2;
    s.pdI2cAddress = "a2";
    s.switchRom = true;
    ASSERT_TRUE(logic.Ok());

    auto store = Reopen();
    EXPECT_EQ(store->ReadInt("Allocation"), 3);
    EXPECT_EQ(store->ReadText("AssignedAddress"), "1E000");
    EXPECT_EQ(station->Cache().assignedAddress, 0x1E000u);
    EXPECT_EQ(store->ReadInt("SpecialWave"), 1);
    EXPECT_TRUE(store->ReadBool("InternalClock"));
    EXPECT_TRUE(store->ReadBool("DualFlash"));
    EXPECT_TRUE(station->Controls().window.dualFlashButtonsVisible);
    EXPECT_FALSE(store->ReadBool("BreakAt0"));
    const int keys[] = {0x0B, 0xFF, 0x01, 0x00, 0x07, 0x80, 0xA5, 0x3C};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(store->ReadInt(setting::kKeyNames[i]), keys[i]) << i;
    }
    EXPECT_TRUE(store->ReadBool("UnprotectKeyMatch"));
    EXPECT_TRUE(store->ReadBool("UnprotectTheLast1K"));
    EXPECT_EQ(store->ReadInt("SMBusSpeed"), 2);
    EXPECT_EQ(store->ReadInt("QuickMode"), 2);
    EXPECT_EQ(store->ReadInt("PDI2CAddress"), 0xA2);
    EXPECT_EQ(station->Cache().pdI2cAddress, 0xA2);
    EXPECT_TRUE(store->ReadBool("SwitchRom"));

    // The board: pins, SMBus speed code, one connection check, then the flash selection by
    // Dual-Flash.
    const auto& trace = board->Trace();
    EXPECT_EQ(PinDefinesSent().size(), 1u);
    EXPECT_EQ(PortsBeforeCheck(kKbs), (std::vector<std::string>{"SMB 12"}));
    EXPECT_TRUE(Is(trace.back(), kKbs, kPortControl));
    EXPECT_EQ(trace.back().header[2], 10);
    ExpectOneDebuggerCheck(kKbs, trace.size() - 2, {"KBS 11", "KBS 2"}, "EC/KBS Power-On");
    // The check ran on what OK had just stored: it unlocks the EC with the new key bytes.
    const auto keySent = Sent(kKbs, kSendTargetKey);
    ASSERT_EQ(keySent.size(), 1u);
    EXPECT_EQ(keySent[0].data,
              (std::vector<uint8_t>{0x0B, 0xFF, 0x01, 0x00, 0x07, 0x80, 0xA5, 0x3C}));
    EXPECT_EQ(panel.page, Page::Main);
    EXPECT_TRUE(panel.levelEnabled[4]);
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_TRUE(station->MainPageActive());
    EXPECT_TRUE(station->InFlashMode());
    EXPECT_TRUE(panel.boxes.empty());
}

TEST_F(SetupPageTest, LowSpeedAndExternalFlashCodes) {
    StartBound(2);
    station->SetupLogic().Open();
    board->ClearTrace();
    SetupControls().smbSpeedItem = 0;
    SetupControls().dualFlash = false;
    ASSERT_TRUE(station->SetupLogic().Ok());
    EXPECT_EQ(PortsBeforeCheck(kSmb), (std::vector<std::string>{"SMB 2"}));
    EXPECT_EQ(Ports().back(), "KBS 11");
    ExpectOneDebuggerCheck(kSmb, board->Trace().size() - 2, {"SMB 11", "SMB 2"}, "EC/SMB Power-On");
    EXPECT_EQ(Reopen()->ReadInt("SMBusSpeed"), 1);
}

TEST_F(SetupPageTest, RefusedAssignedAddressLeavesThePageOpenWithTheFirstValuesStored) {
    StartBound(2);
    station->SetupLogic().Open();
    const auto sentByOpen = board->Trace().size();
    SetupControls().pinDefSourceItem = 2;
    SetupControls().connectModeItem = 0;
    SetupControls().allocationItem = 1;
    SetupControls().assignedAddress = "10";
    SetupControls().specialWaveItem = 0;
    EXPECT_FALSE(station->SetupLogic().Ok());
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].title, "Warning");
    EXPECT_EQ(panel.boxes[0].kind, MessageKind::Warning);
    EXPECT_EQ(panel.boxes[0].text, "The last byte must be 0 !");
    auto store = Reopen();
    EXPECT_EQ(store->ReadInt("ConnectMode"), 1);
    EXPECT_EQ(store->ReadInt("Allocation"), 2);
    EXPECT_EQ(store->ReadText("AssignedAddress"), "0");
    EXPECT_EQ(store->ReadInt("SpecialWave"), 2);  // step 4 never ran
    EXPECT_EQ(panel.page, Page::Setup);
    EXPECT_FALSE(timer.IsEnabled());
    // No connection check: nothing reached the board, the status bar is as it was.
    EXPECT_EQ(board->Trace().size(), sentByOpen);
    EXPECT_TRUE(TargetStatuses().empty());
}

TEST_F(SetupPageTest, RefusedAndEmptyKeyCellsShowTheStoredByteAgain) {
    Preset([](SettingsStore& s) {
        s.WriteInt("Key1", 0x5A);
        s.WriteInt("Key6", 0x0C);
    });
    StartBound(1);
    station->SetupLogic().Open();
    SetupControls().keyCells = {"01", "123", "03", "04", "05", "06", "", "08"};
    ASSERT_TRUE(station->SetupLogic().Ok());
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].text, "Can not more 2 number !");
    EXPECT_EQ(SetupControls().keyCells[1], "5A");
    EXPECT_EQ(SetupControls().keyCells[6], "0C");
    auto store = Reopen();
    EXPECT_EQ(store->ReadInt("Key1"), 0x5A);
    EXPECT_EQ(store->ReadInt("Key6"), 0x0C);
    EXPECT_EQ(store->ReadInt("Key0"), 1);
    EXPECT_EQ(store->ReadInt("Key7"), 8);
    // OK went on to its end: one connection check, then the flash selection.
    ExpectOneDebuggerCheck(kKbs, board->Trace().size() - 2, {"KBS 11", "KBS 2"}, "EC/KBS Power-On");
}

TEST_F(SetupPageTest, PdAddressEmptyBecomesZeroAndARefusalStopsOk) {
    StartBound(1);
    station->SetupLogic().Open();
    SetupControls().pdI2cAddress = "";
    ASSERT_TRUE(station->SetupLogic().Ok());
    EXPECT_EQ(Reopen()->ReadInt("PDI2CAddress"), 0);
    EXPECT_EQ(SetupControls().pdI2cAddress, "0");
    EXPECT_EQ(TargetStatuses(), std::vector<std::string>{"EC/KBS Power-On"});

    station->SetupLogic().Open();
    const auto sentByOpen = board->Trace().size();
    SetupControls().pdI2cAddress = "8G";
    SetupControls().switchRom = true;
    SetupControls().quickModeItem = 1;
    EXPECT_FALSE(station->SetupLogic().Ok());
    EXPECT_EQ(panel.boxes.back().text, "Just type 0~f !");
    EXPECT_EQ(Reopen()->ReadInt("QuickMode"), 1);   // stored before the refusal
    EXPECT_FALSE(Reopen()->ReadBool("SwitchRom"));  // after it: not stored
    EXPECT_EQ(panel.page, Page::Setup);
    // No second connection check.
    EXPECT_EQ(CheckStart(kKbs, sentByOpen), board->Trace().size());
    EXPECT_EQ(TargetStatuses(), std::vector<std::string>{"EC/KBS Power-On"});
    EXPECT_FALSE(timer.IsEnabled());
}

TEST_F(SetupPageTest, SocketModeTurnsDualFlashOff) {
    Preset([](SettingsStore& s) { s.WriteBool("DualFlash", true); });
    StartBound(1);
    station->SetupLogic().Open();
    station->SetupLogic().ConnectModeSelected(2);
    SetupControls().dualFlash = true;
    ASSERT_TRUE(station->SetupLogic().Ok());
    EXPECT_FALSE(Reopen()->ReadBool("DualFlash"));
    EXPECT_FALSE(SetupControls().dualFlash);
    EXPECT_FALSE(station->Controls().window.dualFlashButtonsVisible);
    EXPECT_EQ(Ports().back(), "KBS 11");
    // The check of the socket mode sends nothing to the board and shows the board's flash.
    EXPECT_EQ(CheckStart(kKbs), board->Trace().size());
    EXPECT_EQ(TargetStatuses(), std::vector<std::string>{"Flash of Vessa"});
}

TEST_F(SetupPageTest, PdModeStoresAtOnceAndCancelKeepsThoseStores) {
    Preset([](SettingsStore& s) {
        s.WriteBool("DualFlash", true);
        s.WriteBool("UnprotectKeyMatch", true);
        s.WriteBool("SkipFFChecked", true);
        s.WriteInt("Allocation", 2);
    });
    StartBound(1);
    station->SetupLogic().Open();
    station->SetupLogic().ConnectModeSelected(3);
    EXPECT_FALSE(SetupControls().allocationEnabled);
    EXPECT_FALSE(SetupControls().pinDefineEnabled);
    EXPECT_FALSE(station->Controls().main.skipFFVisible);
    SetupControls().allocationItem = 0;
    SetupControls().assignedAddress = "FF";

    station->SetupLogic().Cancel();
    auto store = Reopen();
    EXPECT_FALSE(store->ReadBool("DualFlash"));
    EXPECT_FALSE(store->ReadBool("UnprotectKeyMatch"));
    EXPECT_FALSE(store->ReadBool("SkipFFChecked"));
    EXPECT_FALSE(store->ReadBool("CheckBox_UnProtect"));
    EXPECT_EQ(store->ReadInt("ConnectMode"), 1);
    // The controls come back from the store.
    EXPECT_EQ(SetupControls().connectModeItem, 0);
    EXPECT_TRUE(SetupControls().allocationEnabled);
    EXPECT_TRUE(SetupControls().pinDefineEnabled);
    EXPECT_EQ(SetupControls().allocationItem, 1);
    EXPECT_EQ(SetupControls().assignedAddress, "0");
    EXPECT_FALSE(SetupControls().dualFlash);
    EXPECT_FALSE(SetupControls().unprotectKeyMatch);
    EXPECT_FALSE(station->Controls().window.dualFlashButtonsVisible);
    EXPECT_EQ(panel.page, Page::Main);
    EXPECT_TRUE(panel.levelEnabled[4]);
    EXPECT_TRUE(timer.IsEnabled());
    // Opening released the port; the one check, in the stored KBS mode, ends the trace.
    EXPECT_EQ(PortsBeforeCheck(kKbs), std::vector<std::string>{"KBS 0"});
    ExpectOneDebuggerCheck(kKbs, board->Trace().size() - 1, {"KBS 10", "KBS 2"}, "EC/KBS Power-On");
}

TEST_F(SetupPageTest, CancelReloadsKeysPdAddressAndThePinSet) {
    Preset([](SettingsStore& s) {
        s.WriteInt("Key3", 0xC4);
        s.WriteInt("PDI2CAddress", 0x1A2);
        s.WriteInt("PinDefNum", 1);
        s.WriteInt("SpecialWave", 3);
        s.WriteInt("SMBusSpeed", 2);
        s.WriteInt("QuickMode", 1);
    });
    StartBound(1);
    station->SetupLogic().Open();
    SetupControls().keyCells[3] = "zz";
    SetupControls().pdI2cAddress = "77";
    SetupControls().smbSpeedItem = 0;
    SetupControls().quickModeItem = 0;
    station->Pins().PickSet(2);
    station->SetupLogic().Cancel();
    EXPECT_EQ(SetupControls().keyCells[3], "C4");
    EXPECT_EQ(SetupControls().keyCells[0], "00");
    EXPECT_EQ(SetupControls().pdI2cAddress, "A2");
    EXPECT_EQ(SetupControls().pins.setIndex, 1);
    EXPECT_EQ(SetupControls().pins.labels[0], "Pin16");
    EXPECT_EQ(SetupControls().specialWaveItem, -1);  // SpecialWave 3 has no item
    EXPECT_EQ(SetupControls().smbSpeedItem, 1);
    EXPECT_EQ(SetupControls().quickModeItem, 1);
    EXPECT_TRUE(panel.boxes.empty());
    // Cancel sends no pins.
    EXPECT_TRUE(PinDefinesSent().empty());
    // OK stores nothing for the wave group until an item is picked.
    ASSERT_TRUE(station->SetupLogic().Ok());
    EXPECT_EQ(Reopen()->ReadInt("SpecialWave"), 3);
}

}  // namespace
}  // namespace quillon::test
