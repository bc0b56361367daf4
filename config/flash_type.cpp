#include "config/flash_type.h"
#include "config/setting_names.h"

namespace quillon {

std::optional<int32_t> ParseIniInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    bool hexadecimal = false;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hexadecimal = true;
        text.remove_prefix(2);
    } else if (!text.empty() && text.front() == '$') {
        hexadecimal = true;
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    uint64_t magnitude = 0;
    if (hexadecimal) {
        // Hexadecimal to 2^32 - 1.
        const auto hex = ParseHex(text);
        if (!hex) {
            return std::nullopt;
        }
        magnitude = *hex;
    } else {
        // Decimal to 2^31 (for -2147483648).
        const uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
        for (const char c : text) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
            if (magnitude > limit) {
                return std::nullopt;
            }
        }
    }
    // Two's complement wrap, as a 32-bit register holds it.
    const uint32_t bits = static_cast<uint32_t>(negative ? (~magnitude + 1) : magnitude);
    return static_cast<int32_t>(bits);
}

int32_t ConvertIniInteger(std::string_view text) {
    const auto value = ParseIniInteger(text);
    if (!value) {
        throw ConversionError(text);
    }
    return *value;
}

int32_t* FlashTypeIntegerField(SettingsCache& type, std::string_view key) {
    for (const FlashTypeIntegerKey& known : kFlashTypeIntegerKeys) {
        if (key == known.iniKey) {
            return &(type.*known.field);
        }
    }
    return nullptr;
}

void StoreFlashType(SettingsStore& store, const std::string& manufacturer,
                    const std::string& device, const SettingsCache& type) {
    store.WriteText(setting::kLastFlashId1, manufacturer);
    store.WriteText(setting::kLastFlashId2, device);
    for (const FlashTypeIntegerKey& known : kFlashTypeIntegerKeys) {
        store.WriteInt(known.setting, type.*known.field);
    }
    store.WriteText(setting::kSectorOffset, type.sectorOffset);
}

void RestoreFlashType(const SettingsStore& store, SettingsCache& type) {
    type.commandModeReadId = store.ReadInt(setting::kCommandModeReadId);
    type.commandModeRead = store.ReadInt(setting::kCommandModeRead);
    type.commandModeErase = store.ReadInt(setting::kCommandModeErase);
    type.commandModeWrite = store.ReadInt(setting::kCommandModeWrite);
    type.pageWriteSize = store.ReadInt(setting::kPageWriteSize);
    type.eraseType = store.ReadInt(setting::kEraseType);
    type.flashblock = store.ReadInt(setting::kFlashblock);
    type.sectorOffset = store.ReadText(setting::kSectorOffset);
    // The sector size belongs with the other fields; without it the page would leave the size
    // of the last device shown in force for a part that was never accepted.
    if (store.Exists(setting::kSectorSize)) {
        type.sectorSize = store.ReadInt(setting::kSectorSize);
    }
}

}  // namespace quillon
