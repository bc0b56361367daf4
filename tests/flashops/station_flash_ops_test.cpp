// The flash operations as the window reaches them: through the Station and its one frame.
#include <gmock/gmock.h>

#include <algorithm>

#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "tests/flashops/flash_rig.h"
#include "tests/station/station_fixture.h"
#include "tests/support/station_probe.h"

namespace quillon {
namespace {

class StationFlashOpsTest : public StationTest {
protected:
    void StartOnBoard() {
        station = std::make_unique<Station>(panel, clock, timer, StationOptions{file, {}},
                                            FixedDriverLoader(sim::InProcessDriverFunctions()));
        station->RunStartup();
        ASSERT_EQ(
            Probe(*station).Link().Bind(BoardLink::kDeviceIndex, BoardLink::kConnectParameter), 1);
        auto& cache = Probe(*station).Cache();
        cache.flashblock = 64;
        cache.eraseType = 1;
        cache.sectorOffset = "0";
        cache.sectorSize = 64;
        cache.pageWriteSize = 256;
        station->Controls().main.deviceLines = {"Winbond", "W25Q32FV"};
        Probe(*station).Identity().chipIdStrings[0] = "8458";
        auto& image = Probe(*station).Image();
        image.imageBuffer = test::TestImage(2 * test::kBlock);
        image.usedBlockCount = 2;
        image.startBlock = 0;
        board.ClearTrace();
    }

    sim::VirtualBoard board{test::EcScenario()};
    sim::InProcessBoard attach{board};
};

TEST_F(StationFlashOpsTest, TheStationsOperationsWriteTheFlashAndSetOperationResult) {
    StartOnBoard();
    auto& ops = station->FlashOps();
    for (auto step : {&FlashOperations::Erase, &FlashOperations::BlankCheck,
                      &FlashOperations::Program, &FlashOperations::Verify}) {
        EXPECT_TRUE(station->RunHandler([&] { EXPECT_EQ((ops.*step)().result, StepResult::Ok); }));
        EXPECT_TRUE(station->Image().operationResult);
    }
    const auto& image = station->Image().imageBuffer;
    EXPECT_TRUE(
        std::equal(image.begin(), image.end(), board.Flash(sim::FlashId::kExternalSpi).begin()));
    EXPECT_EQ(panel.mainLog.back(), "Verify Flash with buffer ---> OK ! 0");
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_FALSE(panel.levelEnabled[2]);  // level 2 stays off until the connection check
}

TEST_F(StationFlashOpsTest, StopFromTheWindowEndsAnOperation) {
    StartOnBoard();
    panel.onPump = [this] { station->RequestStop(); };
    EXPECT_EQ(station->FlashOps().Program().result, StepResult::Failed);
    EXPECT_EQ(panel.mainLog.back(), "Write Flash from buffer ---> Failure ! 0");
    EXPECT_FALSE(station->Image().operationResult);
}

TEST_F(StationFlashOpsTest, TheBlockProcessTicksAndStoresTheFourStepBoxes) {
    StartOnBoard();
    for (auto box :
         {StepCheckBox::Erase, StepCheckBox::Check, StepCheckBox::Program, StepCheckBox::Verify}) {
        station->OnCheckBoxClicked(box, false);
    }
    EXPECT_EQ(station->FlashOps().BlockProcess().result, StepResult::Ok);
    const auto& main = station->Controls().main;
    EXPECT_TRUE(main.checkErase && main.checkCheck && main.checkProgram && main.checkVerify);
    auto store = Reopen();
    for (const char* name :
         {"CheckBox_Erase", "CheckBox_Check", "CheckBox_Program", "CheckBox_Verify"}) {
        EXPECT_TRUE(store->ReadBool(name)) << name;
    }
}

}  // namespace
}  // namespace quillon
