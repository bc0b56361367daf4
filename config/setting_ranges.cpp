#include "config/setting_ranges.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>

#include "config/setting_names.h"
#include "config/settings_defaults.h"
#include "config/stored_modes.h"

namespace quillon {

namespace {

constexpr int32_t kLargest = INT32_MAX;
constexpr int32_t kByte = 255;
constexpr int32_t kPageSizes[] = {1, 16, 32, 64, 128, 256};  // 1: no page programming
constexpr int32_t kSectorSizesKB[] = {1, 2, 4, 8, 16, 32, 64};
constexpr int32_t kDesignatedSizesKB[] = {0, 64, 128, 192};  // 0: none designated

constexpr SettingRange Span(const char* name, int32_t min, int32_t max) {
    return {name, min, max, {}};
}
constexpr SettingRange Flag(const char* name) {
    return {name, 0, 1, {}};
}
// A stored mode takes the values of its type (config/stored_modes.h).
template <typename Mode>
constexpr SettingRange ModeRange() {
    return {kModeValues<Mode>.name, kModeValues<Mode>.first, kModeValues<Mode>.last, {}};
}
template <std::size_t N>
constexpr SettingRange OneOf(const char* name, const int32_t (&choices)[N]) {
    return {name, choices[0], choices[N - 1], choices};
}

using namespace setting;

constexpr std::array kRanges = {
    Span(kPinDefSource, 1, 3),
    Span(kConnectMode, 1, 4),
    ModeRange<Allocation>(),
    Span(kFlashblock, 1, 4096),  // the largest part the station can address
    Span(kCommandModeReadId, 0, kByte),
    Span(kCommandModeRead, 0, kByte),
    Span(kCommandModeErase, 0, kByte),
    Span(kCommandModeWrite, 0, kByte),
    ModeRange<EraseType>(),
    Flag(kSkipFFChecked),
    OneOf(kSectorSize, kSectorSizesKB),
    OneOf(kPageWriteSize, kPageSizes),
    Flag(kShowMessage),
    Flag(kDualFlash),
    Flag(kCheckBoxCheck),
    Flag(kCheckBoxErase),
    Flag(kCheckBoxProgram),
    Flag(kCheckBoxVerify),
    Span(kSpecialForm, 0, 1),
    Span(kPinDefNum, 0, kLargest),
    Flag(kInternalClock),
    ModeRange<SpecialWave>(),
    Span(kUsbTimeOutSec, 0, kLargest),
    Flag(kBreakAt0),
    Span(kRomKey, 0, 2),
    Span(kKeyNames[0], 0, kByte),
    Span(kKeyNames[1], 0, kByte),
    Span(kKeyNames[2], 0, kByte),
    Span(kKeyNames[3], 0, kByte),
    Span(kKeyNames[4], 0, kByte),
    Span(kKeyNames[5], 0, kByte),
    Span(kKeyNames[6], 0, kByte),
    Span(kKeyNames[7], 0, kByte),
    Flag(kUnprotectTheLast1K),
    Flag(kUnprotectKeyMatch),
    ModeRange<SmbusSpeed>(),
    ModeRange<QuickMode>(),
    Span(kPdI2cAddress, 0, kByte),
    Flag(kSwitchRom),
    OneOf(kDesignatedEflashSizeKB, kDesignatedSizesKB),
    Flag(kReadEFlashId16Bytes),
    Flag(kShowWriteStatus),
    Flag(kCheckBoxUnProtect),
    ModeRange<FastFlash>(),
};

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string Lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

// Levenshtein distance of two short names.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::span<const SettingRange> SettingRanges() {
    return kRanges;
}

const SettingRange* RangeOf(std::string_view name) {
    const std::string wanted = Lowered(name);
    for (const auto& range : kRanges) {
        if (Lowered(range.name) == wanted) {
            return &range;
        }
    }
    return nullptr;
}

bool InRange(const SettingRange& range, int32_t value) {
    if (value < range.min || value > range.max) {
        return false;
    }
    return range.choices.empty() ||
           std::find(range.choices.begin(), range.choices.end(), value) != range.choices.end();
}

std::string RangeText(const SettingRange& range) {
    if (!range.choices.empty()) {
        std::string text = "one of ";
        for (std::size_t i = 0; i < range.choices.size(); ++i) {
            text += (i == 0 ? "" : ", ") + std::to_string(range.choices[i]);
        }
        return text;
    }
    if (range.max == range.min + 1) {
        return std::to_string(range.min) + " or " + std::to_string(range.max);
    }
    return std::to_string(range.min) + " to " + std::to_string(range.max);
}

std::vector<std::string> KnownSettingNames() {
    std::vector<std::string> names;
    for (const auto& entry : SettingDefaults()) {
        names.emplace_back(entry.name);
    }
    for (const char* name :
         {setting::kLastFilePath, setting::kLastFileName, setting::kLastFile,
          setting::kLastFlashId1, setting::kLastFlashId2, setting::kCheckBoxUnProtect}) {
        names.emplace_back(name);
    }
    return names;
}

std::vector<std::string> SettingNamesCloseTo(std::string_view name) {
    const std::string wanted = Lowered(name);
    // A slip per four letters, at least one and at most three.
    const std::size_t allowed = std::clamp<std::size_t>(wanted.size() / 4, 1, 3);
    std::vector<std::pair<std::size_t, std::string>> close;
    for (const auto& known : KnownSettingNames()) {
        const std::string lowered = Lowered(known);
        const std::size_t distance = Distance(wanted, lowered);
        const bool contains = wanted.size() >= 3 && (lowered.find(wanted) != std::string::npos ||
                                                     wanted.find(lowered) != std::string::npos);
        if (distance <= allowed || contains) {
            close.emplace_back(distance, known);
        }
    }
    std::stable_sort(close.begin(), close.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> names;
    for (auto& [distance, known] : close) {
        names.push_back(std::move(known));
    }
    return names;
}

}  // namespace quillon
