#pragma once

#include <cstdint>
#include <string>

#include "target/target_context.h"

namespace quillon {

// The name suffix the log gives some controllers after their chip-ID line (" --> KQ9258"),
// or "" for a chip without one.
std::string DisplayNameSuffix(const ChipTraits& chip, const std::string& chipCode);

// Works out the size of the controller's embedded flash: the byte size, the blocks the flash
// operations walk (Flashblock, stored and in memory together), the start of the ROM-code area
// and, for chips sized by version byte or I2C register, the size in KB. Each rule that
// matches logs its size; later rules overwrite earlier ones.
class EFlashSizing {
public:
    explicit EFlashSizing(TargetContext& context) : c_(context) {}

    // The sizing run at the end of the automatic typing.
    void Size();
    // The Internal-Flash button's second pass, by version byte and configuration byte.
    void SizeByVersion();

private:
    enum class LogMode { Append, ReplaceLast };
    // Blocks, log line and (where given) byte size of one matching rule.
    void Apply(int32_t blocks, const std::string& line, LogMode mode = LogMode::Append);
    void Apply(int32_t blocks, const std::string& line, uint32_t bytes,
               LogMode mode = LogMode::Append);
    void SizeByConfigByte(const ChipTraits& chip);
    void SizeRomCodeChips(const ChipTraits& chip);
    void SizeBankChips(const ChipTraits& chip);
    void SizePdChips(const ChipTraits& chip, uint8_t v);
    void SizeDesignated();
    void FixWriteCommand(const ChipTraits& chip);
    void DumpEFlashId();
    void SizeFamily77(const ChipTraits& chip, uint8_t v);
    void SizeLargeFlash(uint8_t v);
    void SizeByConfigBits(const ChipTraits& chip);

    TargetContext& c_;
};

}  // namespace quillon
