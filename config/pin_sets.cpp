#include "config/pin_sets.h"

#include <algorithm>
#include <cstdio>

#include "config/ini_profile.h"

namespace quillon {

namespace {
constexpr std::size_t kFieldWidth = 3;                              // two digits and ","
constexpr std::size_t kPinsTextLength = kPinColumns * kFieldWidth;  // the name starts after
constexpr const char* kSetNumSection = "SetNum";
constexpr const char* kSetNumKey = "Num";
constexpr const char* kPinSetSection = "PinSet";
constexpr std::string_view kLabelPrefix = "Pin";
constexpr std::size_t kMaxCountDigits = 4;  // up to 9999 sets

constexpr std::string_view kPjigMarker = "$PJIG$";
constexpr std::string_view kMiscMarker = "$MISC$";
constexpr std::size_t kPjigOffsetLow = 8;
constexpr std::size_t kPjigOffsetHigh = 9;
constexpr std::size_t kPjigMinimumOffset = 10;
constexpr std::size_t kMiscPinOffset = 208;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Two decimal digits -> their value; nothing otherwise.
std::optional<int> TwoDigits(char tens, char units) {
    if (!IsDigit(tens) || !IsDigit(units)) {
        return std::nullopt;
    }
    return (tens - '0') * 10 + (units - '0');
}

bool IsPin(int pin) {
    return pin >= kFirstPin && pin <= kLastPin;
}
}  // namespace

std::optional<uint8_t> PinCodeOf(int pin) {
    for (const auto& row : kPinCodeTable) {
        if (row.pin == pin) {
            return row.code;
        }
    }
    return std::nullopt;
}

std::optional<int> PinNumberOf(uint8_t code) {
    for (const auto& row : kPinCodeTable) {
        if (row.code == code) {
            return row.pin;
        }
    }
    return std::nullopt;
}

std::string PinLabel(int pin) {
    char text[16];
    std::snprintf(text, sizeof text, "Pin%02d", pin);
    return text;
}

std::string PinCodeText(uint8_t code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

PinDefinition::PinDefinition() {
    labels.fill(" ");
    codes.fill(" ");
}

PinDefinition PinDefinition::FromNumbers(std::span<const uint8_t, kPinColumns> pins) {
    PinDefinition definition;
    for (std::size_t c = 0; c < kPinColumns; ++c) {
        definition.numbers[c] = pins[c];
        definition.labels[c] = PinLabel(pins[c]);
        const auto code = PinCodeOf(pins[c]);
        definition.codes[c] = code ? PinCodeText(*code) : " ";
    }
    return definition;
}

std::optional<int> PinOfLabel(std::string_view label) {
    if (label.size() != kLabelPrefix.size() + 2 ||
        label.substr(0, kLabelPrefix.size()) != kLabelPrefix) {
        return std::nullopt;
    }
    const auto pin = TwoDigits(label[3], label[4]);
    if (!pin || !IsPin(*pin)) {
        return std::nullopt;
    }
    return pin;
}

PinParse ParsePinSetValue(std::string_view value) {
    if (value.empty()) {
        return {std::nullopt, "The pin set is empty."};
    }
    std::array<uint8_t, kPinColumns> pins{};
    for (std::size_t c = 0; c < kPinColumns; ++c) {
        const std::size_t at = c * kFieldWidth;
        const std::string field =
            at < value.size() ? std::string(value.substr(at, 2)) : std::string();
        const auto pin = field.size() == 2 ? TwoDigits(field[0], field[1]) : std::nullopt;
        if (!pin || !IsPin(*pin)) {
            return {std::nullopt, std::string("The pin set's column ") + kPinSignals[c] +
                                      " holds \"" + field + "\", not a pin number 01..34."};
        }
        pins[c] = static_cast<uint8_t>(*pin);
    }
    return {PinDefinition::FromNumbers(pins), {}};
}

std::string PinSetName(std::string_view value) {
    return value.size() > kPinsTextLength ? std::string(value.substr(kPinsTextLength))
                                          : std::string();
}

std::optional<std::string> PinsTextOfLabels(const std::array<std::string, kPinColumns>& labels) {
    std::string text;
    for (const auto& label : labels) {
        if (!PinOfLabel(label)) {
            return std::nullopt;
        }
        text += label.substr(3, 2);
        text += ',';
    }
    return text;
}

PinParse DefinitionFromCodes(std::span<const uint8_t, kPinColumns> codes) {
    std::array<uint8_t, kPinColumns> pins{};
    for (std::size_t c = 0; c < kPinColumns; ++c) {
        const auto pin = PinNumberOf(codes[c]);
        if (!pin) {
            return {std::nullopt, std::string("The pin code ") + PinCodeText(codes[c]) +
                                      " for column " + kPinSignals[c] +
                                      " in this bin file is no pin of the board."};
        }
        pins[c] = static_cast<uint8_t>(*pin);
    }
    return {PinDefinition::FromNumbers(pins), {}};
}

PinDigits ClampEditorDigits(PinDigits digits) {
    const int value = digits.tens * 10 + digits.units;
    if (value <= 0) {
        return {0, 1};
    }
    if (value > kEditorLastPin) {
        return {kEditorLastPin / 10, kEditorLastPin % 10};
    }
    return digits;
}

std::string PinLabelOfDigits(PinDigits digits) {
    return std::string(kLabelPrefix) + std::to_string(digits.tens) + std::to_string(digits.units);
}

int PinSetFile::Count() const {
    const IniDocument document = folder_.Load(kPinSetFileName);
    const std::string text = document.Read(kSetNumSection, kSetNumKey, "1");
    // A count is a small decimal number; anything else (a hand-edited file) counts as one set.
    if (text.empty() || text.size() > kMaxCountDigits ||
        !std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(c); })) {
        return 1;
    }
    return std::stoi(text);
}

std::string PinSetFile::Value(int index) const {
    return folder_.Load(kPinSetFileName).Read(kPinSetSection, std::to_string(index), "");
}

std::vector<std::string> PinSetFile::ListEntries() const {
    const IniDocument document = folder_.Load(kPinSetFileName);
    std::vector<std::string> entries;
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        const std::string value = document.Read(kPinSetSection, std::to_string(i), "");
        entries.push_back(std::to_string(i) + " : " + PinSetName(value));
    }
    entries.emplace_back(kPinSetNewEntry);
    return entries;
}

IniWriteResult PinSetFile::Store(int index, std::string_view value) const {
    return folder_.Write(kPinSetFileName, kPinSetSection, std::to_string(index), value);
}

IniWriteResult PinSetFile::StoreNew(int index, std::string_view value) const {
    const std::string count = std::to_string(index + 1);
    const std::string key = std::to_string(index);
    const std::array<IniValueWrite, 2> writes = {{
        {kSetNumSection, kSetNumKey, count},
        {kPinSetSection, key, value},
    }};
    return folder_.WriteValues(kPinSetFileName, writes);
}

std::optional<std::size_t> FindMarker(std::span<const uint8_t> file, std::string_view marker) {
    std::size_t matched = 0;
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == static_cast<uint8_t>(marker[matched])) {
            if (++matched == marker.size()) {
                return i + 1 - marker.size();
            }
        } else {
            matched = 0;  // this byte is not tried again as a first byte
        }
    }
    return std::nullopt;
}

std::optional<std::array<uint8_t, kPinColumns>> FindPinCodes(std::span<const uint8_t> file) {
    const auto take = [&](std::size_t at) -> std::optional<std::array<uint8_t, kPinColumns>> {
        if (at > file.size() || file.size() - at < kPinColumns) {
            return std::nullopt;
        }
        std::array<uint8_t, kPinColumns> codes{};
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), kPinColumns, codes.begin());
        return codes;
    };
    if (const auto pjig = FindMarker(file, kPjigMarker);
        pjig && file.size() - *pjig > kPjigOffsetHigh) {
        const std::size_t offset = file[*pjig + kPjigOffsetLow] |
                                   static_cast<std::size_t>(file[*pjig + kPjigOffsetHigh]) << 8;
        if (auto codes = take(*pjig + std::max(offset, kPjigMinimumOffset))) {
            return codes;
        }
    }
    if (const auto misc = FindMarker(file, kMiscMarker)) {
        return take(*misc + kMiscPinOffset);
    }
    return std::nullopt;
}

}  // namespace quillon
