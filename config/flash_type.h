#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/hex_text.h"
#include "config/setting_names.h"
#include "config/settings_cache.h"
#include "config/settings_store.h"

namespace quillon {

// The selected flash part (`FlashType`): its manufacturer and device names live in the store
// (LastFlashID1, LastFlashID2); its numeric fields and sector layout are held in memory in the
// settings cache, where the operations read them, and mirrored in the store.

// A parameter-file integer: decimal, or hexadecimal after "0x" or "$", with an optional sign.
// Hexadecimal takes up to 32 bits (0xFFFFFFFF is -1); decimal must fit in 32 bits signed.
std::optional<int32_t> ParseIniInteger(std::string_view text);
// The same, throwing ConversionError for text that is not an integer.
int32_t ConvertIniInteger(std::string_view text);

// An integer key of a device section, in the form the parameter files spell it, the setting
// that mirrors it in the store and the field it sets.
struct FlashTypeIntegerKey {
    const char* iniKey;
    const char* setting;
    int32_t SettingsCache::*field;
};
inline constexpr FlashTypeIntegerKey kFlashTypeIntegerKeys[] = {
    {"ReadID_CommandMode", setting::kCommandModeReadId, &SettingsCache::commandModeReadId},
    {"Read_CommandMode", setting::kCommandModeRead, &SettingsCache::commandModeRead},
    {"Erase_CommandMode", setting::kCommandModeErase, &SettingsCache::commandModeErase},
    {"Write_CommandMode", setting::kCommandModeWrite, &SettingsCache::commandModeWrite},
    {"PageWriteSize", setting::kPageWriteSize, &SettingsCache::pageWriteSize},
    {"EraseType", setting::kEraseType, &SettingsCache::eraseType},
    {"SectorSize", setting::kSectorSize, &SettingsCache::sectorSize},
    {"Flashblock", setting::kFlashblock, &SettingsCache::flashblock},
};
// The field a device-section key sets. Keys match exactly, letter case included; any other
// key gives nullptr.
int32_t* FlashTypeIntegerField(SettingsCache& type, std::string_view key);

// Writes the flash type to the store in the order the Type page's OK and the automatic
// typing use: LastFlashID1, LastFlashID2, the eight integers, SectorOffset.
void StoreFlashType(SettingsStore& store, const std::string& manufacturer,
                    const std::string& device, const SettingsCache& type);

// Reads the stored part description back into memory (the Type page's Cancel): the four command
// modes, PageWriteSize, EraseType, Flashblock, SectorOffset, and SectorSize when it is stored.
// A missing integer throws SettingsError after the fields before it were restored.
void RestoreFlashType(const SettingsStore& store, SettingsCache& type);

}  // namespace quillon
