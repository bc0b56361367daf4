#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "board/driver_loader.h"
#include "config/atomic_file.h"
#include "platform/crc32.h"
#include "platform/program_file.h"
#include "platform/terminal.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(WindowsFiles, AtomicReplaceWritesUtf16NamesAndRefusesReadOnlyFiles) {
    TempDir dir;
    const auto file = dir.Path() / L"Par\x00E4meter \x65E5\x672C.ini";
    WriteFileAtomically(file, "first");
    WriteFileAtomically(file, "second\r\n");
    EXPECT_EQ(ReadFileBytes(file), "second\r\n");

    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_THROW(WriteFileAtomically(file, "third"), std::runtime_error);
    EXPECT_EQ(ReadFileBytes(file), "second\r\n");
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);

    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(WindowsDriver, AMissingLibraryOrEntryPointGivesTheSystemsMessage) {
    std::string error;
    SharedLibrary missing = SharedLibrary::Open("NoSuchVessaDriver.dll", error);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_NE(error.find("NoSuchVessaDriver.dll: "), std::string::npos) << error;
    EXPECT_GT(error.size(), std::string("NoSuchVessaDriver.dll: ").size()) << error;

    SharedLibrary kernel = SharedLibrary::Open("kernel32.dll", error);
    ASSERT_TRUE(kernel.IsOpen()) << error;
    std::string why;
    EXPECT_EQ(kernel.Symbol("ConnectDevice", &why), nullptr);
    EXPECT_FALSE(why.empty());
}

TEST(WindowsDriver, TheVirtualBoardLibraryExportsThePlainNames) {
    std::string error;
    const auto folder = std::filesystem::path(ProgramFolder());
    SharedLibrary driver = SharedLibrary::Open((folder / "KavoVessadll.dll").string(), error);
    ASSERT_TRUE(driver.IsOpen()) << error;
    for (const char* name :
         {"ConnectDevice", "DisconnectDevice", "WriteDataToDevice", "ReadDataFromDevice"}) {
        EXPECT_NE(driver.Symbol(name), nullptr) << name;
    }
}

TEST(WindowsPlatform, CrcProgramFileAndTerminal) {
    const std::string check = "123456789";  // the CRC-32 check value of the catalogues
    EXPECT_EQ(platform::Crc32({reinterpret_cast<const uint8_t*>(check.data()), check.size()}),
              0xCBF43926u);
    EXPECT_EQ(platform::Crc32({}), 0u);
    EXPECT_EQ(platform::RunningProgramFile().filename(), "test_win.exe");

    TempDir dir;
    std::FILE* file = std::fopen((dir / "out.txt").string().c_str(), "w");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(platform::IsTerminal(file));
    std::fclose(file);
}

}  // namespace
}  // namespace quillon
