#include "config/settings_export.h"

#include <gtest/gtest.h>

#include "config/atomic_file.h"
#include "config/memory_settings_store.h"
#include "tests/support/recording_panel.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

SettingValue Dword(const std::string& name, int32_t value) {
    return {name, SettingType::Dword, value, {}, {}};
}
SettingValue Text(const std::string& name, const std::string& text) {
    return {name, SettingType::Text, 0, text, {}};
}
SettingValue Binary(const std::string& name, std::vector<uint8_t> bytes) {
    return {name, SettingType::Binary, 0, {}, std::move(bytes)};
}

TEST(RegistryExportLineTest, LineForms) {
    EXPECT_EQ(RegistryExportLine(Dword("ShowMessage", 1)), "\"ShowMessage\"=dword:00000001");
    EXPECT_EQ(RegistryExportLine(Dword("PDI2CAddress", 0x2C)), "\"PDI2CAddress\"=dword:0000002C");
    EXPECT_EQ(RegistryExportLine(Dword("Key0", -1)), "\"Key0\"=dword:FFFFFFFF");
    EXPECT_EQ(RegistryExportLine(Text("AssignedAddress", "1E000")),
              "\"AssignedAddress\"=\"1E000\"");
    EXPECT_EQ(RegistryExportLine(Text("LastFilePath", "C:\\img\\a.bin")),
              "\"LastFilePath\"=\"C:\\\\img\\\\a.bin\"");
    EXPECT_EQ(RegistryExportLine(Text("LastFileName", "")), "\"LastFileName\"=\"\"");
}

TEST(RegistryExportLineTest, FormsTheRegistryEditorCanImport) {
    // A quote inside a text, and a backslash next to it, stay one value on one line.
    EXPECT_EQ(RegistryExportLine(Text("LastFileName", "say \"hi\\\".bin")),
              "\"LastFileName\"=\"say \\\"hi\\\\\\\".bin\"");
    EXPECT_EQ(RegistryExportLine(Binary("ExtraECChipID", {})), "\"ExtraECChipID\"=hex:");
    EXPECT_EQ(RegistryExportLine(Binary("ExtraECChipID", {0x00, 0x1F, 0xAB})),
              "\"ExtraECChipID\"=hex:00,1f,ab");
    // A line break would split the entry: the text goes in the string form of hex(1).
    EXPECT_EQ(RegistryExportLine(Text("Note", "a\r\nb")), "\"Note\"=hex(1):61,0d,0a,62,00");
}

class SaveExportTest : public ::testing::Test {
protected:
    SaveExportTest() {
        store.WriteInt("ConnectMode", 2);
        store.WriteText("LastFilePath", "D:\\x.bin");
    }
    TempDir dir;
    MemorySettingsStore store;
    RecordingPanel panel;
    MessageLog log{panel};
};

TEST_F(SaveExportTest, WritesCrLfLinesAndLogsThePath) {
    const auto file = (dir / "out.reg").string();
    SaveSettingsExport(store, panel, log, file);

    EXPECT_EQ(ReadFileBytes(file),
              "REGEDIT4\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kavo\\Vessa_Quillon]\r\n"
              "\"ConnectMode\"=dword:00000002\r\n"
              "\"LastFilePath\"=\"D:\\\\x.bin\"\r\n");
    EXPECT_EQ(SettingsExportDialog().filter, "[*.reg]|*.reg");
    EXPECT_EQ(SettingsExportDialog().proposedName, "KavoEC_Quillon_Setting.reg");
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Save Kavo Quillon Setting to File ---> OK !",
                                                     "Save in '" + file + "'"}));
    EXPECT_EQ(store.Enumerate().size(), 2u);  // the export changes nothing
}

TEST_F(SaveExportTest, CancelWritesNothing) {
    SaveSettingsExport(store, panel, log, std::nullopt);  // the dialog was cancelled
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"Save Kavo Quillon Setting to File ---> Cancel !"});
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST_F(SaveExportTest, UnwritableFileThrowsAndKeepsTheSavingLine) {
    EXPECT_THROW(
        SaveSettingsExport(store, panel, log, (dir / "missing-folder" / "out.reg").string()),
        std::runtime_error);
    EXPECT_EQ(log.LastLine(), "Save Kavo Quillon Setting to File ---> Saving...");
}

TEST(AtomicFileTest, ReplacesWholeAndLeavesNoTemporaryFile) {
    TempDir dir;
    const auto file = dir / "log.txt";
    testing::WriteFileBytes(file, "old content that is longer");
    WriteFileAtomically(file, "new");
    EXPECT_EQ(ReadFileBytes(file), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(AtomicFileTest, FailureNamesTheFileAndKeepsTheOldOne) {
    TempDir dir;
    const auto folder = dir / "is-a-folder";
    std::filesystem::create_directory(folder);
    try {
        WriteFileAtomically(folder, "x");  // cannot replace a folder by a file
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(folder.string()), std::string::npos);
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
}  // namespace quillon
