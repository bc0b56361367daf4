#include <gtest/gtest.h>

#include <string>

#include "config/hex_field_check.h"
#include "config/pin_sets.h"

namespace quillon {
namespace {

// The pin/code table as the board's documentation lays it out: four pin|code column pairs.
constexpr const char* kTableRows[] = {
    "1 0x27 | 10 0x32 | 19 0x26 | 28 0x93", "2 0x20 | 11 0x21 | 20 0x42 | 29 0x94",
    "3 0x31 | 12 0x33 | 21 0x41 | 30 0x95", "4 0x47 | 13 0x30 | 22 0x43 | 31 0xA0",
    "5 0x35 | 14 0x44 | 23 0x45 | 32 0xA1", "6 0x34 | 15 0x25 | 24 0x46 | 33 0xA2",
    "7 0x37 | 16 0x22 | 25 0x90 | 34 0xA3", "8 0x23 | 17 0x24 | 26 0x91",
    "9 0x36 | 18 0x40 | 27 0x92",
};

TEST(PinTableTest, EveryPinHasItsCodeAndBack) {
    int pairs = 0;
    for (const char* row : kTableRows) {
        std::string text = row;
        std::size_t at = 0;
        while (at < text.size()) {
            const auto bar = text.find('|', at);
            const std::string cell = text.substr(at, bar == std::string::npos ? bar : bar - at);
            at = bar == std::string::npos ? text.size() : bar + 1;
            const int pin = std::stoi(cell);
            const auto code =
                static_cast<uint8_t>(std::stoi(cell.substr(cell.find("0x")), nullptr, 16));
            SCOPED_TRACE(cell);
            EXPECT_EQ(PinCodeOf(pin), code);
            EXPECT_EQ(PinNumberOf(code), pin);
            EXPECT_EQ(PinCodeText(code), cell.substr(cell.find("0x"), 4));
            ++pairs;
        }
    }
    EXPECT_EQ(pairs, 34);
    EXPECT_EQ(kPinCodeTable.size(), 34u);
    EXPECT_EQ(PinCodeOf(0), std::nullopt);
    EXPECT_EQ(PinCodeOf(35), std::nullopt);
    EXPECT_EQ(PinNumberOf(0x00), std::nullopt);
    EXPECT_EQ(PinNumberOf(0xFF), std::nullopt);
}

TEST(PinTableTest, SignalsLabelsAndTheTemplate) {
    EXPECT_STREQ(kPinSignals[7], "KSO7");
    EXPECT_STREQ(kPinSignals[8], "KSI0");
    EXPECT_STREQ(kPinSignals[14], "KSO9");
    EXPECT_EQ(PinLabel(7), "Pin07");
    EXPECT_EQ(PinLabel(23), "Pin23");
    EXPECT_EQ(PinOfLabel("Pin07"), 7);
    EXPECT_EQ(PinOfLabel("Pin35"), std::nullopt);
    EXPECT_EQ(PinOfLabel(" "), std::nullopt);
    const PinDefinition blank;
    EXPECT_EQ(blank.labels[0], " ");
    EXPECT_EQ(blank.codes[14], " ");

    // Picking "New" shows pins 01..15 with these codes.
    const PinParse parsed = ParsePinSetValue(kPinSetTemplate);
    ASSERT_TRUE(parsed.definition) << parsed.error;
    const char* codes[] = {"0x27", "0x20", "0x31", "0x47", "0x35", "0x34", "0x37", "0x23",
                           "0x36", "0x32", "0x21", "0x33", "0x30", "0x44", "0x25"};
    for (std::size_t c = 0; c < kPinColumns; ++c) {
        EXPECT_EQ(parsed.definition->codes[c], codes[c]) << c;
        EXPECT_EQ(parsed.definition->numbers[c], c + 1);
        EXPECT_EQ(parsed.definition->labels[c], PinLabel(static_cast<int>(c + 1)));
    }
    EXPECT_EQ(PinSetName(kPinSetTemplate), "New");
    EXPECT_EQ(PinSetName("01,02"), "");
}

TEST(PinTableTest, MalformedPinSetsAreRefusedNamingTheColumn) {
    const std::string good = "01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,Name";
    ASSERT_TRUE(ParsePinSetValue(good).definition);
    // The 44 characters of pins are enough; the name may be missing.
    EXPECT_TRUE(ParsePinSetValue(good.substr(0, 44)).definition);

    std::string outside = good;
    outside.replace(9, 2, "35");  // KSO3
    auto parsed = ParsePinSetValue(outside);
    EXPECT_FALSE(parsed.definition);
    EXPECT_NE(parsed.error.find("KSO3"), std::string::npos) << parsed.error;
    EXPECT_NE(parsed.error.find("\"35\""), std::string::npos) << parsed.error;

    std::string zero = good;
    zero.replace(42, 2, "00");  // KSO9
    parsed = ParsePinSetValue(zero);
    EXPECT_NE(parsed.error.find("KSO9"), std::string::npos) << parsed.error;

    std::string letters = good;
    letters.replace(24, 2, "1x");  // KSI0
    EXPECT_NE(ParsePinSetValue(letters).error.find("KSI0"), std::string::npos);

    EXPECT_NE(ParsePinSetValue("01,02,03").error.find("KSO3"), std::string::npos);
    EXPECT_FALSE(ParsePinSetValue("").definition);

    const std::array<uint8_t, 15> codes = {0x27, 0x20, 0x31, 0x47, 0x35, 0x34, 0x37, 0x23,
                                           0x36, 0x32, 0x21, 0x12, 0x30, 0x44, 0x25};
    const PinParse fromCodes = DefinitionFromCodes(codes);
    EXPECT_FALSE(fromCodes.definition);
    EXPECT_NE(fromCodes.error.find("0x12"), std::string::npos) << fromCodes.error;
    EXPECT_NE(fromCodes.error.find("KSI3"), std::string::npos) << fromCodes.error;
}

TEST(PinTableTest, LabelsGiveThePinsTextOnlyWhenEveryColumnIsAPin) {
    PinDefinition definition = *ParsePinSetValue(kPinSetTemplate).definition;
    definition.labels[2] = "Pin30";
    EXPECT_EQ(PinsTextOfLabels(definition.labels), "01,02,30,04,05,06,07,08,09,10,11,12,13,14,15,");
    EXPECT_EQ(PinsTextOfLabels(PinDefinition().labels), std::nullopt);
}

TEST(PinTableTest, EditorListsStayWithinOneToThirty) {
    auto clamp = [](int tens, int units) {
        const PinDigits d = ClampEditorDigits({tens, units});
        return std::to_string(d.tens) + std::to_string(d.units) + " " + PinLabelOfDigits(d);
    };
    EXPECT_EQ(clamp(3, 5), "30 Pin30");
    EXPECT_EQ(clamp(0, 0), "01 Pin01");
    EXPECT_EQ(clamp(3, 0), "30 Pin30");
    EXPECT_EQ(clamp(3, 1), "30 Pin30");
    EXPECT_EQ(clamp(0, 9), "09 Pin09");
    EXPECT_EQ(clamp(2, 7), "27 Pin27");
}

TEST(HexFieldCheckTest, AcceptedAndRefusedTexts) {
    const auto address = [](const std::string& text) {
        return CheckHexField(text, 8, true).value_or("accepted");
    };
    EXPECT_EQ(address("1000"), "accepted");
    EXPECT_EQ(address("0"), "accepted");
    EXPECT_EQ(address("ab00"), "accepted");
    EXPECT_EQ(address("10"), "The last byte must be 0 !");
    EXPECT_EQ(address(""), "The last byte must be 0 !");
    EXPECT_EQ(address("1"), "The last byte must be 0 !");
    EXPECT_EQ(address("123456789"), "Can not more 8 number !");
    EXPECT_EQ(address("12G0"), "Just type 0~f !");
    // Length is checked before the digits, the digits before the last byte.
    EXPECT_EQ(address("12G45678900"), "Can not more 8 number !");
    EXPECT_EQ(address("0x00"), "Just type 0~f !");

    const auto byte = [](const std::string& text) {
        return CheckHexField(text, 2, false).value_or("accepted");
    };
    EXPECT_EQ(byte("fF"), "accepted");
    EXPECT_EQ(byte(""), "accepted");
    EXPECT_EQ(byte("123"), "Can not more 2 number !");
    EXPECT_EQ(byte(" 1"), "Just type 0~f !");
}

}  // namespace
}  // namespace quillon
