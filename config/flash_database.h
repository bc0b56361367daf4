#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_folder.h"

namespace quillon {

// The flash-type parameter files in the INI folder: the manufacturer index, one file per
// manufacturer with a section per device, the auto-typing table and the version file. Every
// look-up reads the files afresh, so an edited file takes effect at once.
class FlashDatabase {
public:
    static constexpr const char* kIndexFile = "FlashROM_Index.ini";
    static constexpr const char* kIndexSection = "Index";
    static constexpr const char* kAutoTypeFile = "Kavo_Flash_TypeAuto.ini";
    static constexpr const char* kVersionFile = "Version.ini";

    explicit FlashDatabase(IniFolder folder) : folder_(std::move(folder)) {}

    const IniFolder& Folder() const { return folder_; }

    // The manufacturer list: the text after the first "=" of every line of section "Index",
    // in file order; a line without "=" names a manufacturer by its whole text.
    std::vector<std::string> Manufacturers() const;

    static std::string ManufacturerFile(std::string_view manufacturer);
    // The manufacturer's file, read once; its LoadProblem() says why a file that is there
    // could not be read.
    IniDocument ManufacturerDocument(std::string_view manufacturer) const;
    // Device names: the section names of the manufacturer's file, in file order.
    std::vector<std::string> Devices(std::string_view manufacturer) const;
    // The key=value lines of one device section, in file order.
    std::vector<IniEntry> DeviceEntries(std::string_view manufacturer,
                                        std::string_view device) const;
    bool HasDevice(std::string_view manufacturer, std::string_view device) const;
    // The device's "SmallSectorSize": the KB of the small sectors a part erased in larger
    // units also has (4 on most SPI parts erased in 64 KB blocks); 0 when the section does
    // not say or the value is not a number.
    static constexpr const char* kSmallSectorKey = "SmallSectorSize";
    int32_t SmallSectorSizeKB(std::string_view manufacturer, std::string_view device) const;

    // The parameter-set version, section "Parameter" key "VERSION"; "NONE" when missing.
    std::string ParameterVersion() const;

    // The auto-typing table: lookup key (6 or 4 hex digits) to manufacturer and device name,
    // both empty when the key is unknown, or when the table is there but cannot be read
    // (`problem` says why).
    struct AutoType {
        std::string manufacturer;
        std::string device;
        std::string problem;
    };
    AutoType LookupAutoType(std::string_view key) const;

private:
    IniFolder folder_;
};

}  // namespace quillon
