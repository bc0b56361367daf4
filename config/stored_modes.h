#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "config/setting_names.h"
#include "config/settings_store.h"
#include "platform/lookup_table.h"

namespace quillon {

// The modes the settings store keeps as numbers, as types. Radio groups on the Setup page
// map to them as item + 1, except QuickMode, which stores the item itself.

// Allocation: where a loaded image is placed in the flash.
enum class Allocation : int32_t { FromTop = 1, FromMedium = 2, FromAssigned = 3 };
// QuickMode: whether the board's quick paths are used, and which quick write.
enum class QuickMode : int32_t { Disable = 0, Enable = 1, KbsBurstWrite = 2 };
// SMBusSpeed: the speed of the SMBus route.
enum class SmbusSpeed : int32_t { Low = 1, High = 2 };  // 400 kHz, 1 MHz
// SpecialWave: the SMB signalling; PdTestMode has no radio item.
enum class SpecialWave : int32_t { Clk120kDat120k = 1, Clk100kDat200k = 2, PdTestMode = 3 };
// EraseType of the selected flash part.
enum class EraseType : int32_t { Chip = 0, Sector = 1, Block = 2 };
// FastFlash: what Auto may leave undone once a read of the block proves it unneeded. Off is
// the full sequence; ChangedBlocksOnly also skips the erases SkipBlankErases skips.
enum class FastFlash : int32_t { Off = 0, SkipBlankErases = 1, ChangedBlocksOnly = 2 };

// The stored numbers each mode takes, and the value it is stored under.
struct ModeRange {
    int32_t first;
    int32_t last;
    const char* name;
};
template <typename Mode>
constexpr ModeRange NoModeValues() {
    static_assert(sizeof(Mode) == 0, "a stored mode needs its kModeValues");
    return {};
}
template <typename Mode>
inline constexpr ModeRange kModeValues = NoModeValues<Mode>();
template <>
inline constexpr ModeRange kModeValues<Allocation>{1, 3, setting::kAllocation};
template <>
inline constexpr ModeRange kModeValues<QuickMode>{0, 2, setting::kQuickMode};
template <>
inline constexpr ModeRange kModeValues<SmbusSpeed>{1, 2, setting::kSmbusSpeed};
template <>
inline constexpr ModeRange kModeValues<SpecialWave>{1, 3, setting::kSpecialWave};
template <>
inline constexpr ModeRange kModeValues<EraseType>{0, 2, setting::kEraseType};
template <>
inline constexpr ModeRange kModeValues<FastFlash>{0, 2, setting::kFastFlash};

// The one rule for a stored number outside a mode's values: it names no mode. Whoever reads
// it then does what it does for no mode: the radio group selects no item, no port-control
// code or quick command is sent for it, a rule that asks for one mode finds no match, and an
// operation that cannot go on without a mode (erase) refuses.
template <typename Mode>
constexpr std::optional<Mode> ModeFrom(int32_t stored) {
    if (stored >= kModeValues<Mode>.first && stored <= kModeValues<Mode>.last) {
        return static_cast<Mode>(stored);
    }
    return std::nullopt;
}

template <typename Mode>
constexpr int32_t StoredValue(Mode mode) {
    return static_cast<int32_t>(mode);
}

// Reads the mode from its value in the store (SettingsError when the value is missing).
template <typename Mode>
std::optional<Mode> ReadMode(const SettingsStore& store) {
    return ModeFrom<Mode>(store.ReadInt(kModeValues<Mode>.name));
}

template <typename Mode>
void WriteMode(SettingsStore& store, Mode mode) {
    store.WriteInt(kModeValues<Mode>.name, StoredValue(mode));
}

// Setup-page radio groups: the item of a mode is its value less the first value (value - 1;
// QuickMode: the value itself), and an item names the mode back; no item (-1) names none.
template <typename Mode>
constexpr int RadioItem(Mode mode) {
    return StoredValue(mode) - kModeValues<Mode>.first;
}

template <typename Mode>
constexpr std::optional<Mode> ModeOfItem(int item) {
    if (item < 0) {
        return std::nullopt;
    }
    return ModeFrom<Mode>(item + kModeValues<Mode>.first);
}

// QuickWriteBlock's quick-write byte: 0 for Enable, 1 for KBS Burst Write.
constexpr uint8_t QuickWriteByte(QuickMode mode) {
    return static_cast<uint8_t>(StoredValue(mode) - 1);
}

// Whether the quick paths may be used: a QuickMode of Disable, or none, turns them off.
constexpr bool QuickPathsAllowed(std::optional<QuickMode> mode) {
    return mode.has_value() && *mode != QuickMode::Disable;
}

// RomKey: 0 off; any other number on; 2 also puts the designated eFlash size in force and
// makes a loaded file a combined ROM-plus-main image.
enum class RomKey { Off, On, Combined };

constexpr RomKey RomKeyFrom(int32_t stored) {
    constexpr int32_t kCombined = 2;
    if (stored == 0) {
        return RomKey::Off;
    }
    return stored == kCombined ? RomKey::Combined : RomKey::On;
}

inline RomKey ReadRomKey(const SettingsStore& store) {
    return RomKeyFrom(store.ReadInt(setting::kRomKey));
}

// CommandMode_Read numbers of the embedded-flash reads whose saved file has a fixed size.
enum class FixedSizeRead : int32_t { EFlash128K = 128, EFlashPage = 129, EFlash96K = 130 };

// The size Save gives a read taken with `commandModeRead`; nothing for the other modes.
inline constexpr LookupRow<FixedSizeRead, std::size_t> kFixedSaveSizes[] = {
    {FixedSizeRead::EFlash128K, 0x20000},
    {FixedSizeRead::EFlashPage, 256},
    {FixedSizeRead::EFlash96K, 0x18000},
};

constexpr std::optional<std::size_t> FixedSaveSize(int32_t commandModeRead) {
    return FindIn(kFixedSaveSizes, static_cast<FixedSizeRead>(commandModeRead));
}

// CommandMode_Write numbers with a meaning of their own.
enum class WriteCommandMode : int32_t {
    BoardWrites = 3,   // the board writes whole blocks itself (quick write, small pages)
    EFlash = 5,        // the eFlash's own write; unprotect through register 0x1058
    EFlashAlt = 0x80,  // the other eFlash write; unprotect through register 0x2D00
};

constexpr bool IsWriteMode(int32_t commandModeWrite, WriteCommandMode mode) {
    return commandModeWrite == static_cast<int32_t>(mode);
}

}  // namespace quillon
