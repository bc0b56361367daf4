#include "target/eflash_sizing.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "target/chip_groups.h"

namespace quillon {

namespace {

constexpr uint32_t kKiB = 1024;
constexpr uint8_t kPdSizeRegisterPage = 0xFF;
constexpr uint8_t kPdSizeRegisterOffset = 0xC3;

bool IsOneOf(uint16_t c, std::initializer_list<uint16_t> codes) {
    return std::find(codes.begin(), codes.end(), c) != codes.end();
}

bool IsInAnySeries(uint16_t c, std::initializer_list<std::string_view> series) {
    return std::any_of(series.begin(), series.end(),
                       [c](std::string_view s) { return IsInSeries(c, s); });
}

std::string SizeLine(uint32_t kb) {
    return "EFlash Size : " + std::to_string(kb) + " KB";
}

struct SizeRow {
    int32_t blocks;
    uint32_t kb;
};

}  // namespace

std::string DisplayNameSuffix(uint16_t c, const std::string& chipCode) {
    static constexpr std::array<uint16_t, 8> kNamed = {0x9258, 0x92D2, 0x92CF, 0x8D58,
                                                       0x8DD2, 0x8DCF, 0x8D1B, 0x8D39};
    if (std::find(kNamed.begin(), kNamed.end(), c) != kNamed.end()) {
        return " --> KQ" + chipCode;
    }
    if (IsInGroup(ChipGroup::LargeFlashFamilies, c)) {
        return " --> KQ8" + chipCode;
    }
    return "";
}

void EFlashSizing::Apply(int32_t blocks, const std::string& line, LogMode mode) {
    c_.WriteFlashblock(blocks);
    if (mode == LogMode::ReplaceLast) {
        c_.log.ReplaceLast(line);
    } else {
        c_.log.Append(line);
    }
}

void EFlashSizing::Apply(int32_t blocks, const std::string& line, uint32_t bytes, LogMode mode) {
    Apply(blocks, line, mode);
    c_.eflash.eFlashSize = bytes;
}

void EFlashSizing::Size() {
    const uint16_t c = c_.identity.C();
    const uint8_t v = c_.identity.V();
    c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartLow;
    SizeByConfigByte(c);
    SizeRomCodeChips(c);
    SizeBankChips(c);
    if (c == 0x11ED) {
        Apply(3, "EFlash Size : 184(+8) KB", 0x30000, LogMode::ReplaceLast);
        c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartHigh;
    }
    if (c == 0x1142) {
        Apply(2, SizeLine(120), 0x1E000, LogMode::ReplaceLast);
        c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartHigh;
    }
    SizePdChips(c, v);
    SizeDesignated();
    FixWriteCommand(c, v);
    DumpEFlashId();
}

// eFlash-only chips and series 1FDx, 91Fx, D17x: configuration byte bits 2..0.
void EFlashSizing::SizeByConfigByte(uint16_t c) {
    if (!IsInGroup(ChipGroup::EFlashOnly, c) && !IsInAnySeries(c, {"1FDx", "91Fx", "D17x"})) {
        return;
    }
    switch (c_.identity.flashConfigByte & 0x07) {
        case 1:
            Apply(2, SizeLine(128), 0x20000);
            break;
        case 6:
            Apply(1, SizeLine(32), 0x8000);
            break;
        case 5:
            Apply(1, SizeLine(56), 0xE000);
            break;
        default:
            Apply(1, SizeLine(64), 0x10000);
            break;
    }
}

// 1152, 11D3, 1140: 120 KB plus the ROM-code area when the configuration byte says 8.
void EFlashSizing::SizeRomCodeChips(uint16_t c) {
    if (!IsOneOf(c, {0x1152, 0x11D3, 0x1140})) {
        return;
    }
    if ((c_.identity.flashConfigByte & 0x0F) == 8) {
        Apply(2, SizeLine(120), 0x1E000);
        c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartHigh;
    } else {
        Apply(1, SizeLine(56), 0xE000);
    }
}

// Bank-size chips: by the size code read on flash-mode entry.
void EFlashSizing::SizeBankChips(uint16_t c) {
    if (!IsInGroup(ChipGroup::BankSize, c)) {
        return;
    }
    switch (c_.identity.eFlashSizeCode) {
        case 0:
            Apply(1, SizeLine(56), 0xE000);
            c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartLow;
            break;
        case 2:
            Apply(3, "EFlash Size : 184(+8) KB", 0x30000);
            c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartHigh;
            break;
        default:
            Apply(2, SizeLine(120), 0x1E000);
            c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartHigh;
            break;
    }
}

// USB-PD chips sized by version byte or by their I2C size register.
void EFlashSizing::SizePdChips(uint16_t c, uint8_t v) {
    const auto sized = [this](int32_t blocks, uint32_t kb) {
        Apply(blocks, SizeLine(kb), kb * kKiB);
        c_.eflash.eFlashSizeKB = static_cast<uint16_t>(kb);
    };
    const bool high = (v & 0x80) != 0;
    if (IsInSeries(c, "D1Cx")) {
        if (c == 0xD108 && v == 0) {
            sized(1, 64);
        } else if (IsOneOf(c, {0xD110, 0xD1DD, 0xD101, 0xD107})) {
            uint8_t value = 0;
            c_.boardSide.PdReadRegister(c_.PdAddress(), kPdSizeRegisterPage, kPdSizeRegisterOffset,
                                        value);
            static constexpr std::array<SizeRow, 3> kRows = {{{1, 64}, {2, 128}, {4, 256}}};
            const unsigned code = (value >> 2) & 0x03;
            if (code < kRows.size()) {
                sized(kRows[code].blocks, kRows[code].kb);
            }
        } else if (high) {
            sized(1, 64);
        } else {
            sized(2, 128);
        }
    }
    if (IsInAnySeries(c, {"02Dx", "027x"})) {
        if (high) {
            sized(2, 128);
        } else {
            sized(1, 64);
        }
    }
}

// RomKey 2 puts the designated size in force; it also fixes the blocks the operations walk.
void EFlashSizing::SizeDesignated() {
    if (c_.settings.ReadInt(setting::kRomKey) != 2) {
        return;
    }
    const int32_t kb = c_.settings.ReadInt(setting::kDesignatedEflashSizeKB);
    int32_t blocks = 0;
    switch (kb) {
        case 64:
            blocks = 1;
            c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartLow;
            break;
        case 128:
            blocks = 2;
            c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartHigh;
            break;
        case 192:
            blocks = 3;
            c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartHigh;
            break;
        default:
            return;
    }
    Apply(blocks, "Designated EFlash Size : " + std::to_string(kb) + " KB",
          static_cast<uint32_t>(kb) * kKiB, LogMode::ReplaceLast);
    c_.placement.usedBlockCount = static_cast<uint32_t>(blocks);
    // The designated size wins over the loaded image's placement: say so when the image
    // starts beyond the blocks that will be walked.
    if (c_.placement.startBlock >= c_.placement.usedBlockCount) {
        c_.log.Append("Use Block=" + std::to_string(blocks) +
                      " designated ; the image starts at block " +
                      std::to_string(c_.placement.startBlock) + " and is not reached");
    }
}

// Some chips of version 0 program a part without page writes with write command 3.
void EFlashSizing::FixWriteCommand(uint16_t c, uint8_t v) {
    if (v != 0 || c_.flashType.pageWriteSize != 1) {
        return;
    }
    if (IsOneOf(c, {0x1BD2, 0x1B62, 0x1BC5, 0x1B58, 0x1BDC, 0x1BCF, 0x1B1B, 0x1B88, 0x1BFA, 0x1B19,
                    0x1BFF, 0x1B30, 0x1B8A, 0x0219, 0x0245, 0x02FF, 0x0230})) {
        c_.flashType.commandModeWrite = 3;
    }
}

void EFlashSizing::DumpEFlashId() {
    if (!ThroughDebugger(c_.Mode()) || !c_.settings.ReadBool(setting::kReadEFlashId16Bytes) ||
        !c_.eflash.internalFlashSelected) {
        return;
    }
    c_.board.ReadFlashId(c_.identity.chipIdStrings, BoardCommands::kReadIdLong);
}

void EFlashSizing::SizeByVersion() {
    const uint16_t c = c_.identity.C();
    const uint8_t v = c_.identity.V();
    SizeFamily77(c, v);
    if (IsInGroup(ChipGroup::LargeFlashFamilies, c)) {
        SizeLargeFlash(v);
    }
    if (c == 0x32C0) {
        Apply(5, SizeLine(288), 0x48000);
    }
    if (c == 0x3258) {
        Apply(3, SizeLine(160), 0x28000);
    }
    SizeByConfigBits(c, v);
}

// Family 77 and the 91xx/FE5x series: by the version byte's size field.
void EFlashSizing::SizeFamily77(uint16_t c, uint8_t v) {
    if (!IsOfFamily(c, 0x77) && !IsInAnySeries(c, {"917x", "914x", "91Bx", "FE5x"})) {
        return;
    }
    const bool sizedByHighNibble =
        (v & 0x0F) >= 3 &&
        IsOneOf(c, {0x777E, 0x77E9, 0x7770, 0x775E, 0x917E, 0x91E9, 0x9170, 0x915E, 0x9103, 0x91A2,
                    0x9134, 0x91D1, 0x91BF, 0x9104, 0x9121, 0x9193});
    if (sizedByHighNibble) {
        switch (v & 0xF0) {
            case 0x00:
                Apply(2, SizeLine(128));
                break;
            case 0x20:
                Apply(3, SizeLine(192));
                break;
            case 0x40:
                Apply(4, SizeLine(256));
                break;
            case 0x60:
                Apply(6, SizeLine(384));
                break;
            case 0x80:
                Apply(8, SizeLine(512));
                break;
            default:
                break;
        }
        return;
    }
    switch (v & 0xC0) {
        case 0x00:
            Apply(2, SizeLine(128));
            break;
        case 0x40:
            Apply(3, SizeLine(192));
            break;
        case 0x80:
            Apply(4, SizeLine(256));
            break;
        default:
            Apply(1, SizeLine(64));
            break;
    }
}

void EFlashSizing::SizeLargeFlash(uint8_t v) {
    switch (v & 0xF0) {
        case 0x40:
            Apply(4, SizeLine(256));
            break;
        case 0x80:
            Apply(8, SizeLine(512));
            break;
        case 0xA0:
            Apply(0, SizeLine(0));
            break;
        case 0xC0:
            Apply(16, SizeLine(1024));
            break;
        default:
            break;
    }
}

// The chips whose configuration byte holds the size (rules by two or four low bits).
void EFlashSizing::SizeByConfigBits(uint16_t c, uint8_t v) {
    const uint8_t config = c_.identity.flashConfigByte;
    const bool series1B2x = IsInSeries(c, "1B2x");
    if (IsInAnySeries(c, {"1F5x", "117x", "327x"}) || (series1B2x && v < 8) ||
        IsOfFamily(c, 0x92) || IsOfFamily(c, 0x8D)) {
        switch (config & 0x03) {
            case 1:
                Apply(2, SizeLine(128), 0x20000);
                break;
            case 2:
                Apply(4, SizeLine(256), 0x40000);
                break;
            case 3:
                Apply(3, SizeLine(192), 0x30000);
                break;
            default:
                break;
        }
    }
    if (IsInAnySeries(c, {"1B6x", "1B5x", "021x"}) || (series1B2x && v >= 8)) {
        switch (config & 0x0F) {
            case 0x01:
                Apply(2, SizeLine(128), 0x20000);
                break;
            case 0x02:
                Apply(4, SizeLine(256), 0x40000);
                break;
            case 0x03:
                Apply(3, SizeLine(192), 0x30000);
                break;
            case 0x0E:
                Apply(8, SizeLine(512), 0x80000);
                break;
            case 0x0F:
                Apply(16, "EFlash Size : 1 MB", 0x100000);
                break;
            default:
                break;
        }
    }
}

}  // namespace quillon
