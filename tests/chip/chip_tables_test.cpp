// The chip series, group and trait tables, written out here entry by entry and compared with
// the program's tables for every one of the 65536 chip codes, so that a single wrong digit in
// the program's tables fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "chip/chip_groups.h"
#include "chip/chip_traits.h"

namespace quillon {
namespace {

struct Series {
    const char* name;
    std::vector<uint16_t> furtherMembers;
};

const std::vector<Series>& SeriesTable() {
    static const std::vector<Series> table = {
        {"1FDx", {0x1F62}},
        {"91Fx", {}},
        {"11Ax", {0x1194, 0x11ED, 0x1142, 0x115A, 0x11D9, 0x1152, 0x11D3, 0x1140}},
        {"11Cx", {0x11DD, 0x11D6, 0x1199}},
        {"110x", {0x1192, 0x114A, 0x118E}},
        {"116x", {0x11B5}},
        {"1F5x", {}},
        {"117x", {0x115E}},
        {"327x", {}},
        {"1FBx", {}},
        {"917x", {0x91E9, 0x915E}},
        {"914x", {0x9103, 0x91A2, 0x9134, 0x91D1}},
        {"91Bx", {0x9104, 0x9121, 0x9193}},
        {"D17x", {}},
        {"D1Cx", {0xD108, 0xD110, 0xD1DD, 0xD101, 0xD107}},
        {"02Dx", {0x0232}},
        {"027x", {}},
        {"FE5x", {}},
        {"1B2x", {}},
        {"1B6x", {0x1BD2, 0x1BC5}},
        {"1B5x", {0x1BDC, 0x1BCF, 0x1B1B, 0x1B88, 0x1BFA}},
        {"021x", {0x0245, 0x02FF, 0x0230, 0x023E}},
        {"325x", {}},
        {"32Cx", {}},
        {"4C8x", {0x4CE1}},
        {"4C7x", {0x4C40, 0x4CED}},
    };
    return table;
}

const std::vector<uint8_t> kKnownFamilies = {0x84, 0x4C, 0x1F, 0x77, 0xD1, 0x91, 0x11,
                                             0x32, 0x02, 0x9F, 0x1B, 0x92, 0x8D, 0xFE,
                                             0x5D, 0x78, 0x83, 0xD3, 0xCB};
const std::vector<uint16_t> kEFlashOnly = {0x4C8A, 0x4CE1, 0x4C40, 0x4CED};
const std::vector<const char*> kRomCodeSeries = {"1FDx", "91Fx", "11Ax", "11Cx", "110x", "116x"};
const std::vector<const char*> kEflashSizedExtraSeries = {"325x", "32Cx", "4C8x",
                                                          "4C7x", "D17x", "D1Cx"};
const std::vector<uint16_t> kBankSize = {0x1194, 0x11ED, 0x1142, 0x11DD, 0x1103,
                                         0x1192, 0x114A, 0x118E, 0x11B5, 0x11C0,
                                         0x11D6, 0x1199, 0x115A, 0x11AC, 0x11D9};
const std::vector<uint8_t> kNoWaitFamilies = {0x77, 0x5D, 0x78, 0x83, 0xD3, 0xCB};
const std::vector<const char*> kNoWaitSeries = {"327x", "117x", "917x", "914x", "91Bx"};
const std::vector<const char*> kQuickModeExceptionSeries = {"1F5x", "117x", "327x"};
const std::vector<uint8_t> kLargeFlashFamilies = {0x5D, 0x78, 0x83, 0xD3, 0xCB};

template <typename T>
bool Contains(const std::vector<T>& list, T value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Membership as the tables above define it, one flag per chip code and series.
bool ModelInSeries(uint16_t c, const std::string& name) {
    static const std::map<std::string, std::vector<bool>> members = [] {
        std::map<std::string, std::vector<bool>> sets;
        for (const auto& series : SeriesTable()) {
            const std::string seriesName = series.name;
            const auto prefix = std::stoul(seriesName.substr(0, 3), nullptr, 16);
            std::vector<bool> in(0x10000, false);
            for (unsigned code = 0; code <= 0xFFFF; ++code) {
                in[code] = (code >> 4) == prefix;
            }
            for (uint16_t further : series.furtherMembers) {
                in[further] = true;
            }
            sets.emplace(seriesName, std::move(in));
        }
        return sets;
    }();
    const auto found = members.find(name);
    return found != members.end() && found->second[c];
}
bool ModelInAnySeries(uint16_t c, const std::vector<const char*>& names) {
    return std::any_of(names.begin(), names.end(),
                       [c](const char* name) { return ModelInSeries(c, name); });
}
uint8_t Family(uint16_t c) {
    return static_cast<uint8_t>(c >> 8);
}

std::string Code(unsigned c) {
    std::ostringstream text;
    text << std::uppercase << std::hex;
    text.width(4);
    text.fill('0');
    text << c;
    return text.str();
}

bool IsKnownFamilyModel(uint8_t family) {
    static const std::vector<bool> known = [] {
        std::vector<bool> families(256, false);
        for (uint8_t f : kKnownFamilies) {
            families[f] = true;
        }
        return families;
    }();
    return known[family];
}

// Every code whose answer differs from the model, at most a few named. The chip traits are
// compared over the codes of the known families only (resolving all of a chip's traits is
// slower than one membership test): every rule names chips of those families, so a wrong
// digit drops a listed chip there, and unknown families get no trait (chip_groups_test).
template <typename Actual, typename Expected>
std::string Differences(Actual actual, Expected expected, bool knownFamiliesOnly = false) {
    std::string differences;
    int count = 0;
    for (unsigned c = 0; c <= 0xFFFF; ++c) {
        const auto code = static_cast<uint16_t>(c);
        if (knownFamiliesOnly && !IsKnownFamilyModel(Family(code))) {
            continue;
        }
        const bool is = actual(code);
        if (is != expected(code)) {
            if (++count <= 8) {
                differences += " " + Code(c) + (is ? " (in, should not be)" : " (missing)");
            }
        }
    }
    if (count > 8) {
        differences += " and " + std::to_string(count - 8) + " more";
    }
    return differences;
}

TEST(ChipTables, EverySeriesHasExactlyItsDigitsAndItsFurtherMembers) {
    ASSERT_EQ(SeriesTable().size(), 26u);
    for (const auto& series : SeriesTable()) {
        const std::string name = series.name;
        EXPECT_EQ(Differences([&](uint16_t c) { return IsInSeries(c, name); },
                              [&](uint16_t c) { return ModelInSeries(c, name); }),
                  "")
            << "series " << name;
    }
}

TEST(ChipTables, KnownFamilies) {
    EXPECT_EQ(Differences([](uint16_t c) { return IsKnownFamily(c); },
                          [](uint16_t c) { return Contains(kKnownFamilies, Family(c)); }),
              "");
}

TEST(ChipTables, EveryGroupHasExactlyItsMembers) {
    const auto romCode = [](uint16_t c) { return ModelInAnySeries(c, kRomCodeSeries); };
    const struct {
        ChipGroup group;
        const char* name;
        std::function<bool(uint16_t)> model;
    } groups[] = {
        {ChipGroup::EFlashOnly, "eFlash-only", [](uint16_t c) { return Contains(kEFlashOnly, c); }},
        {ChipGroup::RomCodeFamilies, "RomCodeFamilies", romCode},
        {ChipGroup::EflashSizedFamilies, "EflashSizedFamilies",
         [&](uint16_t c) { return romCode(c) || ModelInAnySeries(c, kEflashSizedExtraSeries); }},
        {ChipGroup::BankSize, "bank-size", [](uint16_t c) { return Contains(kBankSize, c); }},
        {ChipGroup::LargeFlashFamilies, "large-flash",
         [](uint16_t c) { return Contains(kLargeFlashFamilies, Family(c)); }},
        {ChipGroup::PdFamilies, "USB-PD",
         [](uint16_t c) { return Family(c) == 0xD1 || Family(c) == 0x02; }},
    };
    for (const auto& g : groups) {
        EXPECT_EQ(Differences([&](uint16_t c) { return IsInGroup(g.group, c); }, g.model), "")
            << g.name;
    }
}

TEST(ChipTables, NoWaitChipsWith1FBxOnlyOverKbs) {
    const auto model = [](uint16_t c, bool kbs) {
        return Contains(kNoWaitFamilies, Family(c)) || ModelInAnySeries(c, kNoWaitSeries) ||
               (kbs && ModelInSeries(c, "1FBx"));
    };
    for (bool kbs : {true, false}) {
        EXPECT_EQ(Differences([&](uint16_t c) { return ChipTraitsOf(c, 0).NoWaitOver(kbs); },
                              [&](uint16_t c) { return model(c, kbs); }, true),
                  "")
            << (kbs ? "over KBS" : "over SMBus");
    }
}

TEST(ChipTables, QuickModeExceptionsOnlyForVersion00) {
    for (unsigned v : {0x00u, 0x01u, 0x80u}) {
        EXPECT_EQ(Differences(
                      [&](uint16_t c) {
                          return ChipTraitsOf(c, static_cast<uint8_t>(v)).quickModeException;
                      },
                      [&](uint16_t c) {
                          return v == 0 && ModelInAnySeries(c, kQuickModeExceptionSeries);
                      },
                      true),
                  "")
            << "version " << v;
    }
}

// The traits of every chip code at every version a rule names, against the lists.
TEST(ChipTables, EveryTraitHasExactlyItsChips) {
    const auto chips = [](std::vector<uint16_t> codes) {
        return [codes](uint16_t c, uint8_t) { return Contains(codes, c); };
    };
    const auto romCode = [](uint16_t c) { return ModelInAnySeries(c, kRomCodeSeries); };
    const auto clockSwitch = [](uint16_t c, uint8_t v) {
        const std::vector<uint16_t> v48or08 = {0x4C15, 0x4CAB};
        const std::vector<uint16_t> v0D = {0x4C00, 0x4CF5};
        const std::vector<uint16_t> v04 = {0x4C16, 0x4C21, 0x4C04};
        if ((Contains(v48or08, c) && (v == 0x48 || v == 0x08)) || (Contains(v0D, c) && v == 0x0D) ||
            (Contains(v04, c) && v == 0x04)) {
            return ClockSwitch::BeforeFlashAccess;
        }
        return Family(c) == 0xD1 ? ClockSwitch::OffForExternalFlash : ClockSwitch::None;
    };
    const auto configByteSizing = [](uint16_t c, uint8_t v) {
        if (Contains(kEFlashOnly, c) || ModelInAnySeries(c, {"1FDx", "91Fx", "D17x"})) {
            return ConfigByteSizing::LowBits3;
        }
        if (ModelInAnySeries(c, {"1F5x", "117x", "327x"}) || Family(c) == 0x92 ||
            Family(c) == 0x8D || (ModelInSeries(c, "1B2x") && v < 8)) {
            return ConfigByteSizing::LowBits2;
        }
        if (ModelInAnySeries(c, {"1B6x", "1B5x", "021x"}) || (ModelInSeries(c, "1B2x") && v >= 8)) {
            return ConfigByteSizing::LowBits4;
        }
        return ConfigByteSizing::None;
    };
    const auto pdSizing = [](uint16_t c, uint8_t v) {
        if (c == 0xD108 && v == 0) {
            return PdSizing::Fixed64K;
        }
        if (Contains<uint16_t>({0xD110, 0xD1DD, 0xD101, 0xD107}, c)) {
            return PdSizing::SizeRegister;
        }
        if (ModelInSeries(c, "D1Cx")) {
            return PdSizing::HighVersion64K;
        }
        return ModelInAnySeries(c, {"02Dx", "027x"}) ? PdSizing::HighVersion128K : PdSizing::None;
    };
    const auto fixedSizeKB = [](uint16_t c) -> unsigned {
        return c == 0x32C0 ? 288 : c == 0x3258 ? 160 : 0;
    };
    const struct {
        const char* name;
        bool ChipTraits::*trait;
        std::function<bool(uint16_t, uint8_t)> model;
    } traits[] = {
        {"knownFamily", &ChipTraits::knownFamily,
         [](uint16_t c, uint8_t) { return Contains(kKnownFamilies, Family(c)); }},
        {"eFlashOnly", &ChipTraits::eFlashOnly, chips(kEFlashOnly)},
        {"romCodeFamily", &ChipTraits::romCodeFamily,
         [&](uint16_t c, uint8_t) { return romCode(c); }},
        {"eflashSized", &ChipTraits::eflashSized,
         [&](uint16_t c, uint8_t) {
             return romCode(c) || ModelInAnySeries(c, kEflashSizedExtraSeries);
         }},
        {"bankSize", &ChipTraits::bankSize, chips(kBankSize)},
        {"largeFlash", &ChipTraits::largeFlash,
         [](uint16_t c, uint8_t) { return Contains(kLargeFlashFamilies, Family(c)); }},
        {"noWait", &ChipTraits::noWait,
         [](uint16_t c, uint8_t) {
             return Contains(kNoWaitFamilies, Family(c)) || ModelInAnySeries(c, kNoWaitSeries);
         }},
        {"noWaitOverKbs", &ChipTraits::noWaitOverKbs,
         [](uint16_t c, uint8_t) { return ModelInSeries(c, "1FBx"); }},
        {"quickModeException", &ChipTraits::quickModeException,
         [](uint16_t c, uint8_t v) {
             return v == 0 && ModelInAnySeries(c, kQuickModeExceptionSeries);
         }},
        {"smbusRouteRegister", &ChipTraits::smbusRouteRegister,
         [](uint16_t c, uint8_t v) { return c == 0x4C21 && v == 0x06; }},
        {"clearsRegister16F7", &ChipTraits::clearsRegister16F7, chips({0x7702, 0x7740})},
        {"clearsRegisters20A0", &ChipTraits::clearsRegisters20A0, chips({0x777E})},
        {"romCodeAreaUntested", &ChipTraits::romCodeAreaUntested, chips({0x11ED})},
        {"keepsLast1KProtected", &ChipTraits::keepsLast1KProtected, chips({0x4C8A, 0x4CE1})},
        {"programsAtLowSmbusSpeed", &ChipTraits::programsAtLowSmbusSpeed,
         [&](uint16_t c, uint8_t) { return c == 0x4CE1 || c == 0x4CED || romCode(c); }},
        {"highSmbusSpeedAfterProgram", &ChipTraits::highSmbusSpeedAfterProgram,
         chips({0x4CE1, 0x4CED})},
        {"verifiesAtLowSmbusSpeed", &ChipTraits::verifiesAtLowSmbusSpeed, chips({0x4CED})},
        {"internalFlashQuickPaths", &ChipTraits::internalFlashQuickPaths, chips({0x4CED, 0x4C40})},
        {"blockProcessTestsEFlashOnly", &ChipTraits::blockProcessTestsEFlashOnly,
         chips({0x1FD2, 0x1F62})},
        {"pdIdOneByteLate", &ChipTraits::pdIdOneByteLate, chips({0x0232})},
        {"romCode120K", &ChipTraits::romCode120K, chips({0x1152, 0x11D3, 0x1140})},
        {"fixed184K", &ChipTraits::fixed184K, chips({0x11ED})},
        {"fixed120K", &ChipTraits::fixed120K, chips({0x1142})},
        {"boardWritesWithoutPages", &ChipTraits::boardWritesWithoutPages,
         [](uint16_t c, uint8_t v) {
             return v == 0 && Contains<uint16_t>({0x1BD2, 0x1B62, 0x1BC5, 0x1B58, 0x1BDC, 0x1BCF,
                                                  0x1B1B, 0x1B88, 0x1BFA, 0x1B19, 0x1BFF, 0x1B30,
                                                  0x1B8A, 0x0219, 0x0245, 0x02FF, 0x0230},
                                                 c);
         }},
        {"sizedByVersion", &ChipTraits::sizedByVersion,
         [](uint16_t c, uint8_t) {
             return Family(c) == 0x77 || ModelInAnySeries(c, {"917x", "914x", "91Bx", "FE5x"});
         }},
        {"sizedByVersionHighNibble", &ChipTraits::sizedByVersionHighNibble,
         chips({0x777E, 0x77E9, 0x7770, 0x775E, 0x917E, 0x91E9, 0x9170, 0x915E, 0x9103, 0x91A2,
                0x9134, 0x91D1, 0x91BF, 0x9104, 0x9121, 0x9193})},
        {"kqName", &ChipTraits::kqName,
         chips({0x9258, 0x92D2, 0x92CF, 0x8D58, 0x8DD2, 0x8DCF, 0x8D1B, 0x8D39})},
    };
    // A new field of ChipTraits gets its row above; clockSwitch is checked below.
    for (unsigned v : {0x00u, 0x04u, 0x06u, 0x07u, 0x08u, 0x0Du, 0x48u, 0x80u}) {
        const auto version = static_cast<uint8_t>(v);
        std::vector<ChipTraits> resolved(0x10000);
        for (uint8_t family : kKnownFamilies) {
            for (unsigned low = 0; low <= 0xFF; ++low) {
                const auto c = static_cast<uint16_t>(family << 8 | low);
                resolved[c] = ChipTraitsOf(c, version);
            }
        }
        for (const auto& t : traits) {
            EXPECT_EQ(Differences([&](uint16_t c) { return resolved[c].*(t.trait); },
                                  [&](uint16_t c) { return t.model(c, version); }, true),
                      "")
                << t.name << ", version " << v;
        }
        for (const auto kind : {ClockSwitch::BeforeFlashAccess, ClockSwitch::OffForExternalFlash}) {
            EXPECT_EQ(
                Differences([&](uint16_t c) { return resolved[c].clockSwitch == kind; },
                            [&](uint16_t c) { return clockSwitch(c, version) == kind; }, true),
                "")
                << "clock switch " << static_cast<int>(kind) << ", version " << v;
        }
        for (const auto kind :
             {ConfigByteSizing::LowBits3, ConfigByteSizing::LowBits2, ConfigByteSizing::LowBits4}) {
            EXPECT_EQ(
                Differences([&](uint16_t c) { return resolved[c].configByteSizing == kind; },
                            [&](uint16_t c) { return configByteSizing(c, version) == kind; }, true),
                "")
                << "configuration byte sizing " << static_cast<int>(kind) << ", version " << v;
        }
        for (const auto kind : {PdSizing::Fixed64K, PdSizing::SizeRegister,
                                PdSizing::HighVersion64K, PdSizing::HighVersion128K}) {
            EXPECT_EQ(Differences([&](uint16_t c) { return resolved[c].pdSizing == kind; },
                                  [&](uint16_t c) { return pdSizing(c, version) == kind; }, true),
                      "")
                << "USB-PD sizing " << static_cast<int>(kind) << ", version " << v;
        }
        for (const unsigned kb : {288u, 160u}) {
            EXPECT_EQ(Differences([&](uint16_t c) { return resolved[c].fixedSizeKB == kb; },
                                  [&](uint16_t c) { return fixedSizeKB(c) == kb; }, true),
                      "")
                << "fixed size " << kb << " KB, version " << v;
        }
    }
}

}  // namespace
}  // namespace quillon
