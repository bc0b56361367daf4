#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "config/flash_database.h"
#include "config/flash_database_check.h"
#include "config/flash_type.h"
#include "config/flash_type_layout.h"
#include "tests/flashtype/temp_ini_folder.h"

namespace quillon {
namespace {

std::string Report(const std::vector<ParameterProblem>& problems) {
    std::string text;
    for (const auto& problem : problems) {
        text += DescribeProblem(problem) + "\n";
    }
    return text;
}

// --- The shipped set --------------------------------------------------------------------

class ShippedSetTest : public ::testing::Test {
protected:
    ShippedSetTest() : database_(IniFolder(QUILLON_SHIPPED_INI)) {}

    int32_t Integer(const std::string& manufacturer, const std::string& device,
                    const std::string& key) {
        for (const auto& entry : database_.DeviceEntries(manufacturer, device)) {
            if (entry.key == key) {
                return ConvertIniInteger(entry.value);
            }
        }
        ADD_FAILURE() << manufacturer << " " << device << " has no " << key;
        return -1;
    }

    FlashDatabase database_;
};

TEST_F(ShippedSetTest, PassesItsOwnCheck) {
    const auto problems = CheckParameterSet(database_);
    EXPECT_TRUE(problems.empty()) << Report(problems);
}

TEST_F(ShippedSetTest, CoversEveryPartOfTheFactsTableWithItsSize) {
    std::ifstream facts(QUILLON_PARTS_TSV);
    std::string line;
    std::getline(facts, line);  // header
    int parts = 0;
    while (std::getline(facts, line)) {
        std::vector<std::string> cells;
        std::stringstream row(line);
        for (std::string cell; std::getline(row, cell, '\t');) {
            cells.push_back(cell);
        }
        ASSERT_GE(cells.size(), 15u) << line;
        const std::string& maker = cells[0];
        const std::string& part = cells[1];
        ASSERT_TRUE(database_.HasDevice(maker, part)) << maker << " " << part;
        EXPECT_EQ(int64_t{Integer(maker, part, "Flashblock")} * 65536, std::stoll(cells[8]))
            << part;
        // A page program never writes more than the part's page.
        const int32_t page = Integer(maker, part, "PageWriteSize");
        EXPECT_TRUE(page == 1 || page <= std::stoi(cells[9])) << part;
        ++parts;
    }
    EXPECT_EQ(parts, 116);
}

TEST_F(ShippedSetTest, AutoTypingFindsPartsByEitherKeyForm) {
    const std::map<std::string, std::pair<std::string, std::string>> expected = {
        {"EF4017", {"Winbond", "W25Q64FV"}},
        {"BF48", {"SST", "SST25VF512A"}},                 // no RDID: the older two-byte key
        {"C22015", {"Macronix", "MX25L1606E"}},           // shared key: the 4 KB-sector part
        {"204014", {"Micron", "M45PE80"}},                // the 64 KB erase works on both parts
        {"1C2015", {"Eon", "EN25P16/EN25B16/EN25B16T"}},  // boot sectors at either end
        {"0E4015", {"Zbit", "ZB25VQ16"}},
        {"FFFFFE", {"Kavo", "USB-PD eFlash"}},
        {"ef4017", {"Winbond", "W25Q64FV"}},  // section names ignore letter case
    };
    for (const auto& [key, part] : expected) {
        const auto found = database_.LookupAutoType(key);
        EXPECT_EQ(found.manufacturer, part.first) << key;
        EXPECT_EQ(found.device, part.second) << key;
    }
    EXPECT_EQ(database_.LookupAutoType("123456").manufacturer, "");
    EXPECT_NE(database_.ParameterVersion(), "NONE");
}

TEST_F(ShippedSetTest, BootSectorPartsEraseByTheirLayout) {
    for (const char* part : {"EN25B16", "EN25B16T"}) {
        const auto entries = database_.DeviceEntries("Eon", part);
        std::string layout;
        for (const auto& entry : entries) {
            if (entry.key == "SectorOffset") {
                layout = entry.value;
            }
        }
        const auto runs = ParseSectorLayout(layout);
        ASSERT_TRUE(runs && !runs->empty()) << part;
        EXPECT_EQ(LayoutSizeKb(*runs), 2048) << part;
    }
}

// --- The check finds what is wrong -------------------------------------------------------

struct FaultCase {
    const char* name;
    const char* file;
    const char* text;
    const char* expected;  // part of the report line
};

const char* const kSoundDevice =
    "ReadID_CommandMode=0\nRead_CommandMode=0\nErase_CommandMode=0\nWrite_CommandMode=0\n"
    "PageWriteSize=256\nEraseType=1\nSectorSize=4\n";

const FaultCase kFaults[] = {
    {"bad integer", "Acme.ini", "Flashblock=0x2Z\n", "Acme.ini [P1] Flashblock : '0x2Z'"},
    {"size text disagrees", "Acme.ini", "Flashblock=2\nSize=4 Mbit\n", "[P1] Size"},
    {"size in KB disagrees", "Acme.ini", "Flashblock=2\nSize=64 KB\n", "[P1] Size"},
    {"layout short of the size", "Acme.ini", "Flashblock=2\nSectorOffset=04,16,32,01,\n",
     "covers 96 KB but Flashblock gives 128 KB"},
    {"layout malformed", "Acme.ini", "Flashblock=1\nSectorOffset=4,16,\n", "[P1] SectorOffset"},
    {"layout sector not addressable", "Acme.ini", "Flashblock=1\nSectorOffset=02,32,\n",
     "not a multiple of 4 KB"},
    {"page size", "Acme.ini", "Flashblock=1\nPageWriteSize=100\n", "[P1] PageWriteSize"},
    {"erase type", "Acme.ini", "Flashblock=1\nEraseType=3\n", "[P1] EraseType"},
    {"sector size", "Acme.ini", "Flashblock=1\nSectorSize=3\n", "[P1] SectorSize"},
    {"zero blocks", "Acme.ini", "Flashblock=0\n", "[P1] Flashblock"},
    {"fixed-size read cuts the part", "Acme.ini", "Flashblock=16\nRead_CommandMode=0x80\n",
     "[P1] Read_CommandMode : 0x80 saves a read as 131072 bytes"},
    {"fixed-size read pads the part", "Acme.ini", "Flashblock=1\nRead_CommandMode=130\n",
     "[P1] Read_CommandMode : 130 saves a read as 98304 bytes"},
    {"misspelt key", "Acme.ini", "Flashblock=1\nsectorsize=4\n", "[P1] sectorsize"},
    {"missing field", "Acme.ini", "Flashblock=1\n", "[P1] EraseType : missing"},
    {"index names a missing file", "FlashROM_Index.ini", "[Index]\n1=Acme\n2=Nobody\n",
     "FlashROM_Index.ini [Index] 2 : manufacturer file \"Nobody.ini\" missing"},
    {"auto type names a missing device", "Kavo_Flash_TypeAuto.ini",
     "[EF4017]\nManufacturer=Acme\nNAME=P9\n", "[EF4017] NAME"},
    {"auto type names a missing file", "Kavo_Flash_TypeAuto.ini",
     "[EF4017]\nManufacturer=Nobody\nNAME=P1\n", "[EF4017] Manufacturer"},
    {"auto type key not hex", "Kavo_Flash_TypeAuto.ini", "[W25Q]\nManufacturer=Acme\nNAME=P1\n",
     "[W25Q] : not a lookup key"},
    {"version missing", "Version.ini", "[Parameter]\n", "Version.ini [Parameter] VERSION"},
    {"pin set malformed", "PinSet.ini",
     "[SetNum]\nNum=2\n[PinSet]\n0=01,02,03,04,05,06,07,08,09,"
     "10,11,12,13,14,15,A\n1=01,02,03\n",
     "PinSet.ini [PinSet] 1"},
    {"pin out of range", "PinSet.ini",
     "[SetNum]\nNum=1\n[PinSet]\n0=01,02,03,04,05,06,07,08,09,"
     "10,11,12,13,14,35,A\n",
     "PinSet.ini [PinSet] 0"},
};

void PutSoundSet(const testing::TempIniFolder& folder) {
    folder.Put("FlashROM_Index.ini", "[Index]\n1=Acme\n");
    folder.Put("Acme.ini", std::string("[P1]\n") + kSoundDevice + "Flashblock=1\nSize=512 Kbit\n");
    folder.Put("Kavo_Flash_TypeAuto.ini",
               "[EF4017]\nManufacturer=Acme\nNAME=P1\n[EF4018]\nManufacturer=Acme\nNAME=P1\n");
    folder.Put("Version.ini", "[Parameter]\nVERSION=1\n");
    folder.Put("PinSet.ini",
               "[SetNum]\nNum=1\n[PinSet]\n0=01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,A\n");
}

class ParameterCheckTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ParameterCheckTest, ReportsTheFaultWithFileAndKey) {
    const FaultCase& c = GetParam();
    testing::TempIniFolder folder("check");
    // A sound set, then one file replaced by the faulty one.
    PutSoundSet(folder);
    const FlashDatabase database(folder.Folder());
    ASSERT_TRUE(CheckParameterSet(database).empty()) << Report(CheckParameterSet(database));

    std::string text = c.text;
    if (std::string(c.file) == "Acme.ini") {
        // The sound keys first, so that the faulty line, read later, is the one in force.
        const bool keepSound = std::string(c.name) != "missing field";
        text = "[P1]\n" + std::string(keepSound ? kSoundDevice : "") + text;
    }
    folder.Put(c.file, text);
    const std::string report = Report(CheckParameterSet(database));
    EXPECT_NE(report.find(c.expected), std::string::npos) << report;
}

#ifndef _WIN32  // FIFOs, symbolic links and permission bits are the POSIX file system's
// A file that is there but cannot be used is named once with the reader's own reason, however
// many index lines and lookup keys lead to it; it is never reported as missing or empty.
TEST(UnusableFileCheckTest, NamesTheFileWithTheReadersReason) {
    namespace fs = std::filesystem;
    struct Case {
        const char* file;
        std::function<void(const fs::path&)> make;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"Acme.ini", [](const fs::path& p) { fs::create_directory(p); }, "is not a regular file"},
        {"Acme.ini", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "is not a regular file"},
        {"Acme.ini", [](const fs::path& p) { fs::create_symlink(p.filename(), p); },
         std::strerror(ELOOP)},
        {"Acme.ini",
         [](const fs::path& p) {
             std::ofstream(p, std::ios::binary) << "[P1]\n";
             fs::resize_file(p, kMaxIniFileBytes + 1);
         },
         "is larger than 16777216 bytes"},
        {"Acme.ini",
         [](const fs::path& p) {
             std::ofstream(p, std::ios::binary) << "[P1]\n";
             fs::permissions(p, fs::perms::none);
         },
         std::strerror(EACCES)},
        {"Version.ini", [](const fs::path& p) { fs::create_directory(p); },
         "is not a regular file"},
        {"PinSet.ini", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "is not a regular file"},
    };
    for (const Case& c : cases) {
        if (c.reason == std::strerror(EACCES) && ::geteuid() == 0) {
            continue;  // the superuser reads every file
        }
        testing::TempIniFolder folder("unusable");
        PutSoundSet(folder);
        fs::remove(folder.Path() / c.file);
        c.make(folder.Path() / c.file);
        const std::string report = Report(CheckParameterSet(FlashDatabase(folder.Folder())));
        const std::string line = "Parameter check : " + std::string(c.file) + " : ";
        EXPECT_NE(report.find(line), std::string::npos) << report;
        EXPECT_EQ(report.find(line), report.rfind(line)) << "named once\n" << report;
        EXPECT_NE(report.find(c.reason), std::string::npos) << report;
        EXPECT_EQ(report.find("missing"), std::string::npos) << report;
        EXPECT_EQ(report.find("no device sections"), std::string::npos) << report;
        std::error_code ignored;  // the link loop has no permissions to give back
        fs::permissions(folder.Path() / c.file, fs::perms::owner_all, fs::perm_options::add,
                        ignored);
    }
}
#endif

TEST(PinSetCheckTest, EmptyNameIsSound) {
    testing::TempIniFolder folder("pinname");
    folder.Put("PinSet.ini",
               "[SetNum]\nNum=1\n[PinSet]\n0=01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,\n");
    const std::string report = Report(CheckParameterSet(FlashDatabase(folder.Folder())));
    EXPECT_EQ(report.find("PinSet.ini"), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(Faults, ParameterCheckTest, ::testing::ValuesIn(kFaults),
                         [](const auto& param) {
                             std::string name = param.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

}  // namespace
}  // namespace quillon
