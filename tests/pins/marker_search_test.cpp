#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "config/pin_sets.h"

namespace quillon {
namespace {

constexpr std::array<uint8_t, 15> kCodes = {0x27, 0x20, 0x31, 0x47, 0x35, 0x34, 0x37, 0x23,
                                            0x36, 0x32, 0x21, 0x33, 0x30, 0x44, 0x25};
constexpr std::array<uint8_t, 15> kOtherCodes = {0x95, 0x94, 0x93, 0x92, 0x91, 0x90, 0x46, 0x45,
                                                 0x43, 0x41, 0x42, 0x26, 0x40, 0x24, 0x22};

void Put(std::vector<uint8_t>& file, std::size_t at, const char* text) {
    std::memcpy(file.data() + at, text, std::strlen(text));
}
void Put(std::vector<uint8_t>& file, std::size_t at, const std::array<uint8_t, 15>& codes) {
    std::copy(codes.begin(), codes.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
}

TEST(MarkerSearchTest, PjigOffsetPointsToTheCodes) {
    std::vector<uint8_t> file(0x400, 0xFF);
    Put(file, 0x200, "$PJIG$");
    file[0x208] = 0x40;
    file[0x209] = 0x00;
    Put(file, 0x240, kCodes);
    EXPECT_EQ(FindPinCodes(file), kCodes);

    // An offset below 10 still starts after the offset bytes.
    file[0x208] = 0x02;
    Put(file, 0x20A, kOtherCodes);
    EXPECT_EQ(FindPinCodes(file), kOtherCodes);

    // The high byte counts.
    file[0x208] = 0x00;
    file[0x209] = 0x01;
    Put(file, 0x300, kCodes);
    EXPECT_EQ(FindPinCodes(file), kCodes);
}

TEST(MarkerSearchTest, AMismatchResetsTheCountWithoutRetryingTheByte) {
    std::vector<uint8_t> file(0x400, 0x00);
    Put(file, 0x10, "$$PJIG$");
    file[0x19] = 0x40;
    Put(file, 0x51, kCodes);
    EXPECT_EQ(FindMarker(file, "$PJIG$"), std::nullopt);
    EXPECT_EQ(FindPinCodes(file), std::nullopt);
    EXPECT_EQ(FindMarker(file, "PJIG$"), 0x12u);

    // A later, clean marker is found; the first occurrence wins over later ones.
    Put(file, 0x100, "$PJIG$");
    file[0x108] = 0x20;
    Put(file, 0x120, kCodes);
    Put(file, 0x200, "$PJIG$");
    file[0x208] = 0x20;
    Put(file, 0x220, kOtherCodes);
    EXPECT_EQ(FindPinCodes(file), kCodes);
}

TEST(MarkerSearchTest, MiscMarkerWhenThereIsNoPjig) {
    std::vector<uint8_t> file(0x400, 0x00);
    Put(file, 0x80, "$MISC$");
    Put(file, 0x80 + 208, kOtherCodes);
    EXPECT_EQ(FindPinCodes(file), kOtherCodes);

    Put(file, 0x300, "$PJIG$");
    file[0x308] = 0x10;
    Put(file, 0x310, kCodes);
    EXPECT_EQ(FindPinCodes(file), kCodes);  // "$PJIG$" comes first, wherever it lies
}

TEST(MarkerSearchTest, DefinitionsPastTheEndAreNotFound) {
    // Offset bytes beyond the end of the file.
    std::vector<uint8_t> file(0x20, 0x00);
    Put(file, 0x18, "$PJIG$");
    EXPECT_EQ(FindPinCodes(file), std::nullopt);

    // An offset that points past the end, then a "$MISC$" whose pins are cut off: not found.
    file.assign(0x40 + 208 + 10, 0x00);
    Put(file, 0x0, "$PJIG$");
    file[0x8] = 0xFF;
    file[0x9] = 0xFF;
    Put(file, 0x40, "$MISC$");
    EXPECT_EQ(FindPinCodes(file), std::nullopt);

    // The same offset with a complete "$MISC$" definition falls back to it.
    file.resize(0x40 + 208 + 15, 0x00);
    Put(file, 0x40 + 208, kOtherCodes);
    EXPECT_EQ(FindPinCodes(file), kOtherCodes);
    file.pop_back();
    EXPECT_EQ(FindPinCodes(file), std::nullopt);

    // The 15 codes end exactly at the end of the file.
    file.assign(0x40, 0x00);
    Put(file, 0x0, "$PJIG$");
    file[0x8] = 0x40 - 15;
    Put(file, 0x40 - 15, kCodes);
    EXPECT_EQ(FindPinCodes(file), kCodes);

    EXPECT_EQ(FindPinCodes({}), std::nullopt);
}

}  // namespace
}  // namespace quillon
