#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_folder.h"

namespace quillon {

// KBS pin definitions: fifteen scan signals of the target, each carried by one of the
// board's pins 1..34. Bin files carry pin codes; the board command and "PinSet.ini" carry
// pin numbers; the Setup page's grid shows both.

inline constexpr std::size_t kPinColumns = 15;
inline constexpr int kFirstPin = 1;
inline constexpr int kLastPin = 34;

// Grid columns, left to right (the last one is KSO9: the board has no KSO8 line).
inline constexpr std::array<const char*, kPinColumns> kPinSignals = {
    "KSO0", "KSO1", "KSO2", "KSO3", "KSO4", "KSO5", "KSO6", "KSO7",
    "KSI0", "KSI1", "KSI2", "KSI3", "KSI4", "KSI5", "KSO9"};

struct PinCodePair {
    int pin;
    uint8_t code;
};

// Pin number to pin code, 34 rows. Look-ups go from the first row; the first match wins.
inline constexpr std::array<PinCodePair, 34> kPinCodeTable = {{
    {1, 0x27},  {2, 0x20},  {3, 0x31},  {4, 0x47},  {5, 0x35},  {6, 0x34},  {7, 0x37},
    {8, 0x23},  {9, 0x36},  {10, 0x32}, {11, 0x21}, {12, 0x33}, {13, 0x30}, {14, 0x44},
    {15, 0x25}, {16, 0x22}, {17, 0x24}, {18, 0x40}, {19, 0x26}, {20, 0x42}, {21, 0x41},
    {22, 0x43}, {23, 0x45}, {24, 0x46}, {25, 0x90}, {26, 0x91}, {27, 0x92}, {28, 0x93},
    {29, 0x94}, {30, 0x95}, {31, 0xA0}, {32, 0xA1}, {33, 0xA2}, {34, 0xA3},
}};

// Nothing for a pin outside the table.
std::optional<uint8_t> PinCodeOf(int pin);
// Nothing for a code outside the table.
std::optional<int> PinNumberOf(uint8_t code);

// "Pin07": "Pin" and the number as two decimal digits.
std::string PinLabel(int pin);
// "0x27": the pin's code as two upper-case hexadecimal digits.
std::string PinCodeText(uint8_t code);

// The pin definition in memory: per column the pin number sent to the board, the pin label
// the grid shows (and the editor changes) and the pin code text.
struct PinDefinition {
    std::array<uint8_t, kPinColumns> numbers{};
    std::array<std::string, kPinColumns> labels;
    std::array<std::string, kPinColumns> codes;

    // Until a definition is loaded, labels and codes are a single blank.
    PinDefinition();
    // Every column from its pin number: label, number and code.
    static PinDefinition FromNumbers(std::span<const uint8_t, kPinColumns> pins);
};

// The pin number a label names ("Pin07" -> 7); nothing when it names no pin 1..34.
std::optional<int> PinOfLabel(std::string_view label);

// What a pin-set value, a bin file or a label row could not give.
struct PinParse {
    std::optional<PinDefinition> definition;
    std::string error;  // why not, naming the column
};

// A pin-set value: fifteen two-digit decimal pin numbers, each followed by ",", then the
// set's name from the 46th character on. A field that is not two digits or names no pin
// 1..34 refuses the whole value.
PinParse ParsePinSetValue(std::string_view value);
// The set's name: the value from its 46th character on ("" when shorter).
std::string PinSetName(std::string_view value);
// "01,02,...,15," from the pin labels' digits; nothing when a label is not "PinNN".
std::optional<std::string> PinsTextOfLabels(const std::array<std::string, kPinColumns>& labels);

// Pin codes as a bin file carries them -> the definition; a code outside the table refuses.
PinParse DefinitionFromCodes(std::span<const uint8_t, kPinColumns> codes);

// The pin-set file "PinSet.ini".
inline constexpr const char* kPinSetFileName = "PinSet.ini";
inline constexpr const char* kPinSetTemplate = "01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,New";
inline constexpr const char* kPinSetNewEntry =
    "------------------------------------New------------------------------------";

// The editor's pin lists (tens 0..3, units 0..9) limited to the pins 1..30 it offers:
// 00 becomes 01, anything above 30 becomes 30.
struct PinDigits {
    int tens = 0;
    int units = 1;
};
inline constexpr int kEditorLastPin = 30;
PinDigits ClampEditorDigits(PinDigits digits);
std::string PinLabelOfDigits(PinDigits digits);

// Reads and writes the named pin sets. Reads treat a missing or unreadable file as empty
// (one set, empty); a write replaces the file atomically and never one it could not read.
class PinSetFile {
public:
    explicit PinSetFile(IniFolder folder) : folder_(std::move(folder)) {}

    // "Num" of "SetNum", default 1; a text that is no number of up to four digits counts as
    // 1 set.
    int Count() const;
    // Key `index` of "PinSet" (default empty).
    std::string Value(int index) const;
    // "i : name" for each set, then the "New" entry.
    std::vector<std::string> ListEntries() const;

    // Stores one set's value.
    IniWriteResult Store(int index, std::string_view value) const;
    // Stores a new set at `index` and the count index + 1 in one replacement of the file.
    IniWriteResult StoreNew(int index, std::string_view value) const;

private:
    IniFolder folder_;
};

// Where a bin file keeps its pin codes: after a "$PJIG$" marker at P, the 16-bit offset at
// P + 8 (low) and P + 9 (high) points to them (never before P + 10); without one, they sit
// at a "$MISC$" marker + 208. Each marker is searched from the start, a mismatching byte
// resetting the match without being tried as a first byte. Nothing when neither gives 15
// bytes inside the file.
std::optional<std::array<uint8_t, kPinColumns>> FindPinCodes(std::span<const uint8_t> file);

// The first occurrence of `marker` by the reset-on-mismatch count; nothing when absent.
std::optional<std::size_t> FindMarker(std::span<const uint8_t> file, std::string_view marker);

}  // namespace quillon
