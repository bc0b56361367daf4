#include "config/install_layout.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "board/driver_loader.h"
#include "config/ini_folder.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// A scratch root with an installed tree (usr/bin, usr/share/quillon/INI) and a home.
class InstallLayoutTest : public ::testing::Test {
protected:
    InstallLayoutTest()
        : root_(fs::temp_directory_path() / ("quillon-layout-" + std::to_string(::getpid()))) {
        fs::remove_all(root_);
        fs::create_directories(bin());
        fs::create_directories(installedIni());
        std::ofstream(installedIni() / "PinSet.ini") << "[SetNum]\nNum=1\n";
        std::ofstream(installedIni() / "Winbond.ini") << "[W25Q64FV]\nFlashblock=128\n";
        layout_.programFolder = bin();
        layout_.userDataHome = root_ / "home" / ".local" / "share";
    }
    ~InstallLayoutTest() override { fs::remove_all(root_); }

    fs::path bin() const { return root_ / "usr" / "bin"; }
    fs::path installedIni() const { return root_ / "usr" / "share" / "quillon" / "INI"; }
    fs::path userIni() const { return root_ / "home" / ".local" / "share" / "quillon" / "INI"; }

    fs::path root_;
    InstallLayout layout_;
};

TEST_F(InstallLayoutTest, TheFolderBesideTheProgramWinsThenTheUsersCopyThenTheInstalledSet) {
    EXPECT_EQ(layout_.InstalledIniFolder(), installedIni());
    EXPECT_EQ(layout_.IniFolder(), installedIni());

    fs::create_directories(userIni());
    EXPECT_EQ(layout_.IniFolder(), userIni());

    fs::create_directories(bin() / "INI");  // a build tree or a bench PC's folder
    EXPECT_EQ(layout_.IniFolder(), bin() / "INI");
}

TEST_F(InstallLayoutTest, WithNothingInstalledTheFolderBesideTheProgramIsNamed) {
    fs::remove_all(root_ / "usr" / "share");
    EXPECT_EQ(layout_.IniFolder(), bin() / "INI");
    layout_.userDataHome.clear();
    EXPECT_FALSE(layout_.UserIniFolder());
}

TEST_F(InstallLayoutTest, TheFirstWriteCopiesTheInstalledSetAndNeverWritesIt) {
    const IniFolder folder(installedIni(), layout_);
    ASSERT_TRUE(folder.Write("pinset.ini", "SetNum", "Num", "2").ok);

    EXPECT_EQ(folder.Folder(), userIni());
    EXPECT_EQ(IniFolder(userIni(), layout_).Load("PinSet.ini").Read("SetNum", "Num", ""), "2");
    // The whole set travelled, and the installed files are as they were.
    EXPECT_TRUE(fs::exists(userIni() / "Winbond.ini"));
    EXPECT_EQ(IniFolder(installedIni(), layout_).Load("PinSet.ini").Read("SetNum", "Num", ""), "1");
    // From now on the layout reads the operator's copy.
    EXPECT_EQ(layout_.IniFolder(), userIni());

    // A second writer of the installed set finds the copy and does not copy again.
    const IniFolder second(installedIni(), layout_);
    ASSERT_TRUE(second.Write("PinSet.ini", "SetNum", "Num", "3").ok);
    EXPECT_EQ(IniFolder(userIni(), layout_).Load("PinSet.ini").Read("SetNum", "Num", ""), "3");
    EXPECT_TRUE(fs::exists(userIni() / "Winbond.ini"));
}

TEST_F(InstallLayoutTest, ACopyThatCannotBeMadeFailsTheWriteAndLeavesTheInstalledSet) {
    // The place of the operator's folder is taken by a file.
    fs::create_directories(userIni().parent_path().parent_path());
    std::ofstream(userIni().parent_path()) << "not a folder";
    const IniFolder folder(installedIni(), layout_);
    const IniWriteResult result = folder.Write("PinSet.ini", "SetNum", "Num", "2");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("Cannot copy the parameter files"), std::string::npos)
        << result.error;
    EXPECT_EQ(folder.Folder(), installedIni());
    EXPECT_EQ(IniFolder(installedIni(), layout_).Load("PinSet.ini").Read("SetNum", "Num", ""), "1");
}

TEST_F(InstallLayoutTest, AFolderOtherThanTheInstalledSetIsWrittenInPlace) {
    fs::create_directories(root_ / "mine");
    const IniFolder folder(root_ / "mine", layout_);
    ASSERT_TRUE(folder.Write("PinSet.ini", "SetNum", "Num", "5").ok);
    EXPECT_EQ(folder.Folder(), root_ / "mine");
    EXPECT_FALSE(fs::exists(userIni()));
}

TEST_F(InstallLayoutTest, TheDriverLibraryIsFoundInThePackagesPrivateFolder) {
    const fs::path privateFolder = layout_.PrivateLibraryFolder();
    EXPECT_EQ(privateFolder.filename(), "quillon");
    fs::create_directories(privateFolder);
    std::ofstream(privateFolder / "libKavoVessadll.so") << "";
    EXPECT_EQ(DriverLibraryLocation(nullptr, bin().string(), privateFolder.string()),
              (privateFolder / "libKavoVessadll.so").string());
    // The environment's choice and a library beside the program come first.
    EXPECT_EQ(DriverLibraryLocation("/opt/v/lib.so", bin().string(), privateFolder.string()),
              "/opt/v/lib.so");
    std::ofstream(bin() / "libKavoVessadll.so") << "";
    EXPECT_EQ(DriverLibraryLocation(nullptr, bin().string(), privateFolder.string()),
              (bin() / "libKavoVessadll.so").string());
}

}  // namespace
}  // namespace quillon
