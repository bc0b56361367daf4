#include "target/eflash_sizing.h"

#include <algorithm>
#include <array>

#include "config/stored_modes.h"
#include "platform/lookup_table.h"

namespace quillon {

namespace {

constexpr uint32_t kKiB = 1024;
constexpr uint8_t kPdSizeRegisterPage = 0xFF;
constexpr uint8_t kPdSizeRegisterOffset = 0xC3;

std::string SizeLine(uint32_t kb) {
    return "EFlash Size : " + std::to_string(kb) + " KB";
}

struct SizeRow {
    int32_t blocks;
    uint32_t kb;
    const char* line = nullptr;  // the log line where it is not SizeLine(kb)
};

std::string LineOf(const SizeRow& size) {
    return size.line != nullptr ? size.line : SizeLine(size.kb);
}

// What the size field of a version or configuration byte means.
using SizeCodes = LookupRow<uint8_t, SizeRow>;

// Configuration byte bits 2..0; any other code is 64 KB.
constexpr SizeCodes kConfigLow3Bits[] = {{1, {2, 128}}, {6, {1, 32}}, {5, {1, 56}}};
constexpr SizeRow kConfigLow3BitsOther = {1, 64};

// Family 77 by the version byte's high nibble, or by its two top bits.
constexpr SizeCodes kFamily77HighNibble[] = {
    {0x00, {2, 128}}, {0x20, {3, 192}}, {0x40, {4, 256}}, {0x60, {6, 384}}, {0x80, {8, 512}}};
constexpr SizeCodes kFamily77TopBits[] = {
    {0x00, {2, 128}}, {0x40, {3, 192}}, {0x80, {4, 256}}, {0xC0, {1, 64}}};

// The large-flash chips by the version byte's high nibble.
constexpr SizeCodes kLargeFlashHighNibble[] = {
    {0x40, {4, 256}}, {0x80, {8, 512}}, {0xA0, {0, 0}}, {0xC0, {16, 1024}}};

// The configuration byte's two or four low bits.
constexpr SizeCodes kConfigLow2Bits[] = {{1, {2, 128}}, {2, {4, 256}}, {3, {3, 192}}};
constexpr SizeCodes kConfigLow4Bits[] = {{0x01, {2, 128}},
                                         {0x02, {4, 256}},
                                         {0x03, {3, 192}},
                                         {0x0E, {8, 512}},
                                         {0x0F, {16, 1024, "EFlash Size : 1 MB"}}};

}  // namespace

std::string DisplayNameSuffix(const ChipTraits& chip, const std::string& chipCode) {
    if (chip.kqName) {
        return " --> KQ" + chipCode;
    }
    if (chip.largeFlash) {
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
    const ChipTraits chip = c_.identity.Traits();
    c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartLow;
    SizeByConfigByte(chip);
    SizeRomCodeChips(chip);
    SizeBankChips(chip);
    if (chip.fixed184K) {
        Apply(3, "EFlash Size : 184(+8) KB", 0x30000, LogMode::ReplaceLast);
        c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartHigh;
    }
    if (chip.fixed120K) {
        Apply(2, SizeLine(120), 0x1E000, LogMode::ReplaceLast);
        c_.eflash.romCodeStart = EFlashFacts::kRomCodeStartHigh;
    }
    SizePdChips(chip, c_.identity.V());
    SizeDesignated();
    FixWriteCommand(chip);
    DumpEFlashId();
}

// Configuration byte bits 2..0.
void EFlashSizing::SizeByConfigByte(const ChipTraits& chip) {
    if (chip.configByteSizing != ConfigByteSizing::LowBits3) {
        return;
    }
    const SizeRow size =
        LookUp(kConfigLow3Bits, c_.identity.flashConfigByte & 0x07, kConfigLow3BitsOther);
    Apply(size.blocks, LineOf(size), size.kb * kKiB);
}

// 120 KB plus the ROM-code area when the configuration byte says 8.
void EFlashSizing::SizeRomCodeChips(const ChipTraits& chip) {
    if (!chip.romCode120K) {
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
void EFlashSizing::SizeBankChips(const ChipTraits& chip) {
    if (!chip.bankSize) {
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
void EFlashSizing::SizePdChips(const ChipTraits& chip, uint8_t v) {
    const auto sized = [this](int32_t blocks, uint32_t kb) {
        Apply(blocks, SizeLine(kb), kb * kKiB);
        c_.eflash.eFlashSizeKB = static_cast<uint16_t>(kb);
    };
    const bool high = (v & 0x80) != 0;
    switch (chip.pdSizing) {
        case PdSizing::Fixed64K:
            sized(1, 64);
            break;
        case PdSizing::SizeRegister: {
            uint8_t value = 0;
            c_.boardSide.PdReadRegister(c_.PdAddress(), kPdSizeRegisterPage, kPdSizeRegisterOffset,
                                        value);
            static constexpr std::array<SizeRow, 3> kRows = {{{1, 64}, {2, 128}, {4, 256}}};
            const unsigned code = (value >> 2) & 0x03;
            if (code < kRows.size()) {
                sized(kRows[code].blocks, kRows[code].kb);
            }
            break;
        }
        case PdSizing::HighVersion64K:
        case PdSizing::HighVersion128K: {
            // The version's top bit set gives the size the chip's kind names, clear the other.
            const bool is64K = chip.pdSizing == PdSizing::HighVersion64K ? high : !high;
            if (is64K) {
                sized(1, 64);
            } else {
                sized(2, 128);
            }
            break;
        }
        case PdSizing::None:
            break;
    }
}

// RomKey 2 puts the designated size in force; it also fixes the blocks the operations walk.
void EFlashSizing::SizeDesignated() {
    if (ReadRomKey(c_.settings) != RomKey::Combined) {
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

// Some chips program a part without page writes with write command 3.
void EFlashSizing::FixWriteCommand(const ChipTraits& chip) {
    if (chip.boardWritesWithoutPages && c_.flashType.pageWriteSize == 1) {
        c_.flashType.commandModeWrite = StoredValue(WriteCommandMode::BoardWrites);
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
    const ChipTraits chip = c_.identity.Traits();
    const uint8_t v = c_.identity.V();
    SizeFamily77(chip, v);
    if (chip.largeFlash) {
        SizeLargeFlash(v);
    }
    if (chip.fixedSizeKB != 0) {
        constexpr uint32_t kBlockKB = 64;
        const uint32_t kb = chip.fixedSizeKB;
        Apply(static_cast<int32_t>((kb + kBlockKB - 1) / kBlockKB), SizeLine(kb), kb * kKiB);
    }
    SizeByConfigBits(chip);
}

// Family 77 and the 91xx/FE5x series: by the version byte's size field.
void EFlashSizing::SizeFamily77(const ChipTraits& chip, uint8_t v) {
    if (!chip.sizedByVersion) {
        return;
    }
    const bool sizedByHighNibble = (v & 0x0F) >= 3 && chip.sizedByVersionHighNibble;
    const std::optional<SizeRow> size = sizedByHighNibble ? FindIn(kFamily77HighNibble, v & 0xF0)
                                                          : FindIn(kFamily77TopBits, v & 0xC0);
    if (size) {
        Apply(size->blocks, LineOf(*size));
    }
}

void EFlashSizing::SizeLargeFlash(uint8_t v) {
    if (const std::optional<SizeRow> size = FindIn(kLargeFlashHighNibble, v & 0xF0)) {
        Apply(size->blocks, LineOf(*size));
    }
}

// The chips whose configuration byte holds the size (rules by two or four low bits).
void EFlashSizing::SizeByConfigBits(const ChipTraits& chip) {
    const uint8_t config = c_.identity.flashConfigByte;
    std::optional<SizeRow> size;
    if (chip.configByteSizing == ConfigByteSizing::LowBits2) {
        size = FindIn(kConfigLow2Bits, config & 0x03);
    } else if (chip.configByteSizing == ConfigByteSizing::LowBits4) {
        size = FindIn(kConfigLow4Bits, config & 0x0F);
    }
    if (size) {
        Apply(size->blocks, LineOf(*size), size->kb * kKiB);
    }
}

}  // namespace quillon
