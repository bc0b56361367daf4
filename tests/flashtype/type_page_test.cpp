#include "target/type_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/flash_database_check.h"
#include "tests/flashtype/temp_ini_folder.h"
#include "tests/flashtype/write_order_store.h"
#include "tests/support/recording_panel.h"

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

class TypePageTest : public ::testing::Test {
protected:
    TypePageTest()
        : folder_("typepage"),
          database_(folder_.Folder()),
          page_(database_, store_, flashType_, panel_) {
        folder_.Put("FlashROM_Index.ini",
                    "[Index]\r\n1=Winbond\r\n2 =  \r\n3=Macronix\r\n4=Ghost\r\n");
        folder_.Put("Winbond.ini",
                    "[W25Q64FV]\r\n"
                    "PIN=8\r\nVcc=3.3V\r\nSize=64 Mbit\r\nMIDDID=EF4017\r\n"
                    "ReadID_CommandMode=1\r\nRead_CommandMode=0x10\r\nErase_CommandMode=$20\r\n"
                    "Write_CommandMode=3\r\nPageWriteSize=256\r\nEraseType=1\r\nSectorSize=4\r\n"
                    "Flashblock=128\r\nSectorOffset=0\r\n"
                    "[OnlyBlocks]\r\nFlashblock=2\r\n"
                    "[BadValue]\r\nErase_CommandMode=5\r\nWrite_CommandMode=zz\r\n"
                    "PageWriteSize=64\r\n"
                    "[Layout]\r\nReadID_CommandMode=0\r\nerase_commandmode=9\r\n"
                    "Flashblock=2\r\nSectorOffset=04,16,\r\n");
        // The index says "Macronix"; the file on disk is spelt in lower case.
        folder_.Put("macronix.ini", "[MX25L6406E]\nFlashblock=128\nVpp=None\n");
    }

    void StorePart(const std::string& manufacturer, const std::string& device) {
        store_.inner.WriteText("LastFlashID1", manufacturer);
        store_.inner.WriteText("LastFlashID2", device);
    }

    testing::TempIniFolder folder_;
    FlashDatabase database_;
    testing::WriteOrderStore store_;
    SettingsCache flashType_;
    RecordingPanel panel_;
    TypePageLogic page_;
};

// A line of the index without "=" names a manufacturer by its whole (trimmed) text, as the
// platform's section listing gives it; the one after it still opens its own file.
TEST_F(TypePageTest, ABareIndexLineNamesAManufacturerWhole) {
    folder_.Put("FlashROM_Index.ini", "[Index]\r\n1=Winbond\r\n  Macronix  \r\n; note\r\n");
    StorePart("Macronix", "MX25L6406E");
    page_.Open();
    const auto& s = page_.State();
    EXPECT_EQ(s.manufacturer.names, (Lines{"Winbond", "Macronix"}));
    EXPECT_EQ(s.manufacturer.index, 1);
    EXPECT_EQ(s.device.names, (Lines{"MX25L6406E"}));
    EXPECT_EQ(s.device.text, "MX25L6406E");
}

TEST_F(TypePageTest, OpenListsTheIndexAndSelectsTheStoredPartIgnoringCase) {
    StorePart("winbond", "w25q64fv");
    page_.Open();
    const auto& s = page_.State();
    EXPECT_TRUE(s.visible);
    EXPECT_EQ(panel_.page, Page::Type);
    // "2 =" names a manufacturer without a name: an empty entry, in its place.
    EXPECT_EQ(s.manufacturer.names, (Lines{"Winbond", "", "Macronix", "Ghost"}));
    EXPECT_EQ(s.manufacturer.index, 0);
    EXPECT_EQ(s.manufacturer.text, "Winbond");
    EXPECT_EQ(s.device.names, (Lines{"W25Q64FV", "OnlyBlocks", "BadValue", "Layout"}));
    EXPECT_EQ(s.device.index, 0);
    EXPECT_EQ(s.device.text, "W25Q64FV");
    EXPECT_EQ(s.pin, "PIN : 8");
    EXPECT_EQ(s.vcc, "Vcc : 3.3V");
    EXPECT_EQ(s.vccp, "Vccp");  // not in the section: the initial caption stays
    EXPECT_EQ(s.size, "Size : 64 Mbit");
    EXPECT_EQ(s.id, "ID : EF4017");
    // Integers are used as numbers but shown as written, "0x" and "$" forms included.
    EXPECT_EQ(flashType_.commandModeRead, 16);
    EXPECT_EQ(flashType_.commandModeErase, 32);
    EXPECT_EQ(s.memo2,
              (Lines{"ReadID_CommandMode :1", "Read_CommandMode :0x10", "Erase_CommandMode :$20",
                     "Write_CommandMode :3", "PageWriteSize :256", "EraseType :1", "SectorSize :4",
                     "Flashblock :128", "SectorOffset :0"}));
    EXPECT_TRUE(store_.writes.empty());  // opening stores nothing
}

TEST_F(TypePageTest, DeviceChangeDefaultsThreeFieldsAndKeepsTheRest) {
    StorePart("Winbond", "W25Q64FV");
    page_.Open();
    page_.PickEntry(TypeBox::Device, 3);  // Layout: sets a sector layout
    EXPECT_EQ(flashType_.sectorOffset, "04,16,");
    page_.PickEntry(TypeBox::Device, 1);  // OnlyBlocks: sets nothing but Flashblock
    EXPECT_EQ(flashType_.flashblock, 2);
    EXPECT_EQ(flashType_.sectorSize, 64);
    EXPECT_EQ(flashType_.commandModeRead, 0);
    EXPECT_EQ(flashType_.sectorOffset, "0");
    EXPECT_EQ(flashType_.commandModeErase, 32);  // from W25Q64FV; "erase_commandmode" is not read
    EXPECT_EQ(flashType_.commandModeWrite, 3);
    EXPECT_EQ(flashType_.commandModeReadId, 0);
    EXPECT_EQ(flashType_.pageWriteSize, 256);
    EXPECT_EQ(flashType_.eraseType, 1);
    EXPECT_EQ(page_.State().memo2, (Lines{"Flashblock :2"}));
    EXPECT_EQ(page_.State().pin, "PIN : 8");  // information of the earlier device stays
}

TEST_F(TypePageTest, BadIntegerStopsTheDeviceStepAtThatLine) {
    StorePart("Winbond", "W25Q64FV");
    page_.Open();
    try {
        page_.PickEntry(TypeBox::Device, 2);
        FAIL() << "no conversion error";
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "'zz' is not a valid integer value");
    }
    EXPECT_EQ(flashType_.commandModeErase, 5);  // the line before took effect
    EXPECT_EQ(flashType_.commandModeWrite, 3);  // the bad line did not
    EXPECT_EQ(flashType_.pageWriteSize, 256);   // nor the line after
    EXPECT_EQ(flashType_.sectorSize, 64);       // the defaults were applied first
    EXPECT_EQ(page_.State().memo2, (Lines{"Erase_CommandMode :5"}));
}

TEST_F(TypePageTest, TypingReopensTheFileAfterEveryLetter) {
    page_.Open();
    // No stored manufacturer reads as the empty text, which the empty index entry matches.
    EXPECT_EQ(page_.State().manufacturer.index, 1);
    EXPECT_EQ(page_.State().manufacturer.text, "");
    for (const char* partial : {"M", "Ma", "Mac", "Macr", "Macro", "Macron", "Macroni"}) {
        page_.EditText(TypeBox::Manufacturer, partial);
        EXPECT_TRUE(page_.State().device.names.empty()) << partial;
        EXPECT_EQ(page_.State().device.text, "") << partial;
    }
    page_.EditText(TypeBox::Manufacturer, "Macronix");
    EXPECT_EQ(page_.State().manufacturer.index, 2);
    EXPECT_EQ(page_.State().device.names, (Lines{"MX25L6406E"}));
    EXPECT_EQ(flashType_.flashblock, 128);
    EXPECT_EQ(page_.State().vpp, "Vpp : None");
    page_.EditText(TypeBox::Device, "MX25L6406");  // a partial device name is no section
    EXPECT_EQ(page_.State().device.index, -1);
    EXPECT_TRUE(page_.State().memo2.empty());
}

TEST_F(TypePageTest, StoredManufacturerMissingFromTheIndexSelectsNothing) {
    StorePart("Spansion", "S25FL116K");
    page_.Open();
    EXPECT_EQ(page_.State().manufacturer.index, -1);
    EXPECT_EQ(page_.State().manufacturer.text, "");
    EXPECT_TRUE(page_.State().device.names.empty());
    EXPECT_EQ(page_.State().device.index, -1);
}

TEST_F(TypePageTest, OkStoresTheShownPartInOrderAndFillsTheDeviceBox) {
    StorePart("Winbond", "W25Q64FV");
    page_.Open();
    page_.PickEntry(TypeBox::Device, 3);
    store_.writes.clear();
    Lines deviceBox{"old"};
    page_.Ok(false, deviceBox);
    EXPECT_EQ(deviceBox, (Lines{"Winbond", "Layout"}));
    EXPECT_EQ(panel_.page, Page::Main);
    EXPECT_FALSE(page_.State().visible);
    EXPECT_EQ(store_.writes,
              (Lines{"LastFlashID1", "LastFlashID2", "CommandMode_ReadID", "CommandMode_Read",
                     "CommandMode_Erase", "CommandMode_Write", "PageWriteSize", "EraseType",
                     "SectorSize", "Flashblock", "SectorOffset"}));
    EXPECT_EQ(store_.inner.ReadText("LastFlashID2"), "Layout");
    EXPECT_EQ(store_.inner.ReadText("SectorOffset"), "04,16,");
    EXPECT_EQ(store_.inner.ReadInt("SectorSize"), 64);
    EXPECT_EQ(store_.inner.ReadInt("CommandMode_Erase"), 32);

    page_.Open();
    page_.Ok(true, deviceBox);  // internal flash: the device line only
    EXPECT_EQ(deviceBox, (Lines{"Layout"}));
}

TEST_F(TypePageTest, OkWithAnEmptyDeviceListStoresAnEmptyDevice) {
    StorePart("Winbond", "W25Q64FV");
    page_.Open();
    page_.EditText(TypeBox::Manufacturer, "Ghost");  // in the index, but without a file
    Lines deviceBox;
    page_.Ok(false, deviceBox);
    EXPECT_EQ(deviceBox, (Lines{"Ghost", ""}));
    EXPECT_EQ(store_.inner.ReadText("LastFlashID2"), "");
    EXPECT_EQ(store_.inner.ReadInt("Flashblock"), 128);
    EXPECT_EQ(store_.inner.ReadInt("CommandMode_Write"), 3);
}

TEST_F(TypePageTest, CancelRestoresTheStoredPartIncludingItsSectorSize) {
    StorePart("Winbond", "W25Q64FV");
    page_.Open();
    Lines deviceBox;
    page_.Ok(false, deviceBox);  // stores W25Q64FV
    const SettingsCache accepted = flashType_;

    page_.Open();
    page_.PickEntry(TypeBox::Device, 1);
    EXPECT_EQ(flashType_.sectorSize, 64);
    store_.writes.clear();
    page_.Cancel();
    EXPECT_EQ(panel_.page, Page::Main);
    EXPECT_EQ(flashType_.commandModeReadId, accepted.commandModeReadId);
    EXPECT_EQ(flashType_.commandModeRead, 16);
    EXPECT_EQ(flashType_.commandModeErase, accepted.commandModeErase);
    EXPECT_EQ(flashType_.commandModeWrite, accepted.commandModeWrite);
    EXPECT_EQ(flashType_.pageWriteSize, accepted.pageWriteSize);
    EXPECT_EQ(flashType_.eraseType, accepted.eraseType);
    EXPECT_EQ(flashType_.flashblock, 128);
    EXPECT_EQ(flashType_.sectorOffset, "0");
    EXPECT_EQ(flashType_.sectorSize, 4);
    EXPECT_TRUE(store_.writes.empty());
}

TEST_F(TypePageTest, CancelWithoutAStoredPartFailsOnTheFirstMissingValue) {
    page_.Open();
    EXPECT_THROW(page_.Cancel(), SettingsError);
    EXPECT_EQ(panel_.page, Page::Main);  // the page was left before the read failed
}

TEST_F(TypePageTest, FaultyDeviceLeavesTheOperatorsLogAlone) {
    StorePart("Winbond", "W25Q64FV");
    page_.Open();
    page_.PickEntry(TypeBox::Device, 3);  // "Layout": a faulty section, loaded all the same
    EXPECT_EQ(page_.State().device.text, "Layout");
    EXPECT_TRUE(panel_.mainLog.empty());
    // The self-check still finds what is wrong, for whoever asks for it.
    std::string report;
    for (const auto& problem : CheckDevice(database_, "Winbond", "Layout")) {
        report += DescribeProblem(problem) + "\n";
    }
    EXPECT_NE(report.find("Parameter check : Winbond.ini [Layout] SectorOffset"), std::string::npos)
        << report;
    EXPECT_NE(report.find("Winbond.ini [Layout] EraseType"), std::string::npos) << report;
}

TEST_F(TypePageTest, AutoTypeLoadsTheNamedDeviceWithoutRefillingTheLists) {
    StorePart("Winbond", "OnlyBlocks");
    page_.Open();
    page_.ApplyAutoType("MACRONIX", "mx25l6406e");
    EXPECT_EQ(page_.State().manufacturer.text, "MACRONIX");
    EXPECT_EQ(page_.State().device.names, (Lines{"W25Q64FV", "OnlyBlocks", "BadValue", "Layout"}));
    EXPECT_EQ(flashType_.flashblock, 128);
    EXPECT_EQ(page_.State().vpp, "Vpp : None");
}

TEST(ParameterVersionTest, VersionOrNone) {
    testing::TempIniFolder folder("version");
    const FlashDatabase database(folder.Folder());
    EXPECT_EQ(database.ParameterVersion(), "NONE");
    folder.Put("Version.ini", "[Other]\nVERSION=1\n");
    EXPECT_EQ(database.ParameterVersion(), "NONE");
    std::filesystem::remove(folder.Path() / "Version.ini");
    folder.Put("version.INI", "[parameter]\nversion = \"Q-7\"\n");
    EXPECT_EQ(database.ParameterVersion(), "Q-7");
}

}  // namespace
}  // namespace quillon
