#include "config/flash_database.h"

#include "config/flash_type.h"

namespace quillon {

std::vector<std::string> FlashDatabase::Manufacturers() const {
    std::vector<std::string> names;
    // Every line counts: one with an empty value ("2=") lists an empty name, and a bare line
    // (no "=") lists itself whole, as the text after a "=" it does not have.
    for (auto& entry : folder_.Load(kIndexFile).SectionLines(kIndexSection)) {
        names.push_back(std::move(entry.value));
    }
    return names;
}

std::string FlashDatabase::ManufacturerFile(std::string_view manufacturer) {
    return std::string(manufacturer) + ".ini";
}

IniDocument FlashDatabase::ManufacturerDocument(std::string_view manufacturer) const {
    return folder_.Load(ManufacturerFile(manufacturer));
}

std::vector<std::string> FlashDatabase::Devices(std::string_view manufacturer) const {
    return ManufacturerDocument(manufacturer).SectionNames();
}

std::vector<IniEntry> FlashDatabase::DeviceEntries(std::string_view manufacturer,
                                                   std::string_view device) const {
    return ManufacturerDocument(manufacturer).SectionEntries(device);
}

bool FlashDatabase::HasDevice(std::string_view manufacturer, std::string_view device) const {
    return ManufacturerDocument(manufacturer).HasSection(device);
}

int32_t FlashDatabase::SmallSectorSizeKB(std::string_view manufacturer,
                                         std::string_view device) const {
    int32_t kb = 0;
    for (const IniEntry& entry : DeviceEntries(manufacturer, device)) {
        if (entry.key == kSmallSectorKey) {
            const auto value = ParseIniInteger(entry.value);
            kb = value && *value > 0 && *value <= 64 ? static_cast<int32_t>(*value) : 0;
        }
    }
    return kb;
}

std::string FlashDatabase::ParameterVersion() const {
    return folder_.Load(kVersionFile).Read("Parameter", "VERSION", "NONE");
}

FlashDatabase::AutoType FlashDatabase::LookupAutoType(std::string_view key) const {
    const IniDocument table = folder_.Load(kAutoTypeFile);
    return {table.Read(key, "Manufacturer", ""), table.Read(key, "NAME", ""), table.LoadProblem()};
}

}  // namespace quillon
