#include "config/flash_database.h"

namespace quillon {

std::vector<std::string> FlashDatabase::Manufacturers() const {
    std::vector<std::string> names;
    // Every key line counts, also one with an empty value ("2="): it lists an empty name.
    for (auto& entry : folder_.Load(kIndexFile).SectionEntries(kIndexSection)) {
        names.push_back(std::move(entry.value));
    }
    return names;
}

std::string FlashDatabase::ManufacturerFile(std::string_view manufacturer) {
    return std::string(manufacturer) + ".ini";
}

std::vector<std::string> FlashDatabase::Devices(std::string_view manufacturer) const {
    return folder_.Load(ManufacturerFile(manufacturer)).SectionNames();
}

std::vector<IniEntry> FlashDatabase::DeviceEntries(std::string_view manufacturer,
                                                   std::string_view device) const {
    return folder_.Load(ManufacturerFile(manufacturer)).SectionEntries(device);
}

bool FlashDatabase::HasDevice(std::string_view manufacturer, std::string_view device) const {
    return folder_.Load(ManufacturerFile(manufacturer)).HasSection(device);
}

std::string FlashDatabase::ParameterVersion() const {
    return folder_.Load(kVersionFile).Read("Parameter", "VERSION", "NONE");
}

FlashDatabase::AutoType FlashDatabase::LookupAutoType(std::string_view key) const {
    const IniDocument table = folder_.Load(kAutoTypeFile);
    return {table.Read(key, "Manufacturer", ""), table.Read(key, "NAME", "")};
}

}  // namespace quillon
