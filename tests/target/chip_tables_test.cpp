// The chip series and group tables, written out here entry by entry and compared with the
// membership tests for every one of the 65536 chip codes, so that a single wrong digit in the
// program's table fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "target/chip_groups.h"

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

// Every code whose answer differs from the model, at most a few named.
template <typename Actual, typename Expected>
std::string Differences(Actual actual, Expected expected) {
    std::string differences;
    int count = 0;
    for (unsigned c = 0; c <= 0xFFFF; ++c) {
        const auto code = static_cast<uint16_t>(c);
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
    };
    for (const auto& g : groups) {
        EXPECT_EQ(Differences([&](uint16_t c) { return IsInGroup(g.group, c); }, g.model), "")
            << g.name;
    }
}

TEST(ChipTables, NoWaitChipsWith1FBxOnlyOverKbs) {
    const auto model = [](uint16_t c, int connectMode) {
        return Contains(kNoWaitFamilies, Family(c)) || ModelInAnySeries(c, kNoWaitSeries) ||
               (connectMode == 1 && ModelInSeries(c, "1FBx"));
    };
    for (int mode : {1, 2, 3, 4}) {
        EXPECT_EQ(Differences([&](uint16_t c) { return IsNoWaitChip(c, mode); },
                              [&](uint16_t c) { return model(c, mode); }),
                  "")
            << "connect mode " << mode;
    }
}

TEST(ChipTables, QuickModeExceptionsOnlyForVersion00) {
    for (unsigned v : {0x00u, 0x01u, 0x80u}) {
        EXPECT_EQ(Differences(
                      [&](uint16_t c) { return IsQuickModeException(c, static_cast<uint8_t>(v)); },
                      [&](uint16_t c) {
                          return v == 0 && ModelInAnySeries(c, kQuickModeExceptionSeries);
                      }),
                  "")
            << "version " << v;
    }
}

}  // namespace
}  // namespace quillon
