#include "config/flash_database_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>

#include "config/flash_type.h"
#include "config/flash_type_layout.h"
#include "config/stored_modes.h"

namespace quillon {

namespace {

constexpr const char* kPinSetFile = "PinSet.ini";

// Keys a device section must set: without them the part would inherit the previous part's
// value on the Type page.
constexpr const char* kRequiredKeys[] = {"ReadID_CommandMode", "Erase_CommandMode",
                                         "Write_CommandMode",  "PageWriteSize",
                                         "EraseType",          "Flashblock"};
constexpr const char* kTextKeys[] = {"PIN", "Vcc", "Vccp", "Vpp", "Size", "MIDDID", "SectorOffset"};

bool IsKnownKey(std::string_view key) {
    return std::any_of(std::begin(kFlashTypeIntegerKeys), std::end(kFlashTypeIntegerKeys),
                       [&](const FlashTypeIntegerKey& known) { return key == known.iniKey; }) ||
           std::any_of(std::begin(kTextKeys), std::end(kTextKeys),
                       [&](const char* known) { return key == known; });
}

std::optional<std::string> KnownSpelling(std::string_view key) {
    for (const FlashTypeIntegerKey& known : kFlashTypeIntegerKeys) {
        if (SameIniName(key, known.iniKey)) {
            return known.iniKey;
        }
    }
    for (const char* known : kTextKeys) {
        if (SameIniName(key, known)) {
            return known;
        }
    }
    return std::nullopt;
}

// "512 Kbit", "16 Mbit", "128 KB", "2 MB" in bytes; free text the check cannot read gives
// nothing and is not compared.
std::optional<int64_t> SizeTextBytes(std::string_view text) {
    std::size_t at = 0;
    int64_t number = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        number = number * 10 + (text[at] - '0');
        if (number > (int64_t{1} << 40)) {
            return std::nullopt;
        }
        ++at;
    }
    if (at == 0) {
        return std::nullopt;
    }
    while (at < text.size() && text[at] == ' ') {
        ++at;
    }
    const std::string_view unit = text.substr(at);
    if (SameIniName(unit, "Kbit")) {
        return number * 128;
    }
    if (SameIniName(unit, "Mbit")) {
        return number * 128 * 1024;
    }
    if (unit == "KB") {
        return number * 1024;
    }
    if (unit == "MB") {
        return number * 1024 * 1024;
    }
    return std::nullopt;
}

class DeviceChecker {
public:
    DeviceChecker(std::string file, std::string device)
        : file_(std::move(file)), device_(std::move(device)) {}

    std::vector<ParameterProblem> Run(const std::vector<IniEntry>& entries) {
        for (const auto& entry : entries) {
            CheckEntry(entry);
        }
        for (const char* key : kRequiredKeys) {
            if (!seen(key)) {
                Report(key, "missing; the part would keep the previous part's value");
            }
        }
        CheckSizes();
        return std::move(problems_);
    }

private:
    void Report(std::string key, std::string message) {
        problems_.push_back({file_, device_, std::move(key), std::move(message)});
    }

    bool seen(std::string_view key) const {
        return std::find(seenKeys_.begin(), seenKeys_.end(), key) != seenKeys_.end();
    }

    void CheckEntry(const IniEntry& entry) {
        if (!IsKnownKey(entry.key)) {
            if (auto spelling = KnownSpelling(entry.key)) {
                Report(entry.key, "is not read; the key is spelt \"" + *spelling + "\"");
            }
            return;
        }
        // A repeated key is checked too: the Type page reads every line, the last one counts.
        if (!seen(entry.key)) {
            seenKeys_.push_back(entry.key);
        }
        SettingsCache probe;
        if (FlashTypeIntegerField(probe, entry.key) != nullptr) {
            const auto value = ParseIniInteger(entry.value);
            if (!value) {
                Report(entry.key, ConversionError(entry.value).what());
                return;
            }
            SetValue(entry.key, *value);
            if (entry.key == "Read_CommandMode") {
                readModeText_ = entry.value;
            }
        } else if (entry.key == "SectorOffset") {
            layout_ = entry.value;
        } else if (entry.key == "Size") {
            sizeText_ = entry.value;
        }
    }

    void SetValue(const std::string& key, int32_t value) {
        for (auto& [name, known] : values_) {
            if (name == key) {
                known = value;
                return;
            }
        }
        values_.emplace_back(key, value);
    }

    std::optional<int32_t> Value(std::string_view key) const {
        for (const auto& [name, value] : values_) {
            if (name == key) {
                return value;
            }
        }
        return std::nullopt;
    }

    void CheckSizes() {
        const auto flashblock = Value("Flashblock");
        if (flashblock && *flashblock <= 0) {
            Report("Flashblock", "must be at least 1 block of 64 KB");
        }
        if (const auto page = Value("PageWriteSize")) {
            constexpr int32_t kPageSizes[] = {1, 16, 32, 64, 128, 256};
            if (std::find(std::begin(kPageSizes), std::end(kPageSizes), *page) ==
                std::end(kPageSizes)) {
                Report("PageWriteSize", "must be 16, 32, 64, 128, 256 or 1 (no page programming)");
            }
        }
        const auto eraseType = Value("EraseType");
        if (eraseType && (*eraseType < 0 || *eraseType > 2)) {
            Report("EraseType", "must be 0 (chip), 1 (sector) or 2 (block)");
        }
        if (const auto sector = Value("SectorSize")) {
            constexpr int32_t kSectorSizes[] = {1, 2, 4, 8, 16, 32, 64};
            if (std::find(std::begin(kSectorSizes), std::end(kSectorSizes), *sector) ==
                std::end(kSectorSizes)) {
                Report("SectorSize", "must divide a 64 KB block (1, 2, 4, 8, 16, 32 or 64 KB)");
            }
        }
        if (flashblock && *flashblock > 0 && !sizeText_.empty()) {
            const auto bytes = SizeTextBytes(sizeText_);
            if (bytes && *bytes != int64_t{*flashblock} * 65536) {
                Report("Size", "\"" + sizeText_ + "\" does not agree with Flashblock " +
                                   std::to_string(*flashblock));
            }
        }
        if (!layout_.empty()) {
            CheckLayout(flashblock);
        }
        CheckSavedReadSize(flashblock);
    }

    // The embedded-flash read modes 128, 129 and 130 make Save cut or pad a read to a fixed
    // size; a part of another size would be saved short (lost bytes) or padded.
    void CheckSavedReadSize(std::optional<int32_t> flashblock) {
        const auto mode = Value("Read_CommandMode");
        if (!mode || !flashblock || *flashblock <= 0) {
            return;
        }
        const auto fixedSize = FixedSaveSize(*mode);
        if (!fixedSize) {
            return;
        }
        const auto savedBytes = static_cast<int64_t>(*fixedSize);
        if (savedBytes != int64_t{*flashblock} * 65536) {
            Report("Read_CommandMode", readModeText_ + " saves a read as " +
                                           std::to_string(savedBytes) + " bytes but Flashblock " +
                                           std::to_string(*flashblock) + " gives " +
                                           std::to_string(int64_t{*flashblock} * 65536));
        }
    }

    void CheckLayout(std::optional<int32_t> flashblock) {
        const auto runs = ParseSectorLayout(layout_);
        if (!runs) {
            Report("SectorOffset", "\"" + layout_ + "\" is not \"0\" nor groups of \"ss,nn,\"");
            return;
        }
        for (const auto& run : *runs) {
            // The erase walk names a sector by a page inside its first 4 KB.
            if (run.sizeKb % 4 != 0 || run.sizeKb > 64) {
                Report("SectorOffset", "sector size " + std::to_string(run.sizeKb) +
                                           " KB is not a multiple of 4 KB up to 64 KB");
                return;
            }
        }
        if (!runs->empty() && flashblock && LayoutSizeKb(*runs) != int64_t{*flashblock} * 64) {
            Report("SectorOffset", "the layout covers " + std::to_string(LayoutSizeKb(*runs)) +
                                       " KB but Flashblock gives " +
                                       std::to_string(int64_t{*flashblock} * 64) + " KB");
        }
    }

    std::string file_;
    std::string device_;
    std::vector<ParameterProblem> problems_;
    std::vector<std::string> seenKeys_;
    std::vector<std::pair<std::string, int32_t>> values_;
    std::string layout_;
    std::string sizeText_;
    std::string readModeText_;  // Read_CommandMode as written
};

// The file's document; a file the set needs that is missing, or that is there but cannot be
// read (the reader's own reason), is reported.
IniDocument LoadNeeded(const IniFolder& folder, const char* name,
                       std::vector<ParameterProblem>& problems) {
    IniDocument document = folder.Load(name);
    if (!document.LoadProblem().empty()) {
        problems.push_back({name, "", "", document.LoadProblem()});
    } else if (!folder.Exists(name)) {
        problems.push_back({name, "", "", "file missing"});
    }
    return document;
}

// The manufacturer files, each read once however many index lines and lookup keys name it.
class ManufacturerFiles {
public:
    explicit ManufacturerFiles(const FlashDatabase& database) : database_(database) {}

    struct File {
        bool exists = false;
        IniDocument document;
        bool problemReported = false;
    };
    File& Get(const std::string& manufacturer) {
        auto found = files_.find(manufacturer);
        if (found == files_.end()) {
            File file;
            file.document = database_.ManufacturerDocument(manufacturer);
            file.exists = !manufacturer.empty() &&
                          database_.Folder().Exists(FlashDatabase::ManufacturerFile(manufacturer));
            found = files_.emplace(manufacturer, std::move(file)).first;
        }
        return found->second;
    }

private:
    const FlashDatabase& database_;
    std::map<std::string, File> files_;
};

std::vector<ParameterProblem> CheckDeviceOf(const std::string& fileName, const IniDocument& file,
                                            std::string_view device) {
    if (!file.HasSection(device)) {
        return {};
    }
    DeviceChecker checker(fileName, std::string(device));
    return checker.Run(file.SectionEntries(device));
}

// A manufacturer file that is there but cannot be read is named once, with the reader's reason,
// however many index lines and lookup keys lead to it; true for such a file.
bool Unusable(const std::string& manufacturer, ManufacturerFiles::File& file,
              std::vector<ParameterProblem>& problems) {
    if (file.document.LoadProblem().empty()) {
        return false;
    }
    if (!file.problemReported) {
        problems.push_back(
            {FlashDatabase::ManufacturerFile(manufacturer), "", "", file.document.LoadProblem()});
        file.problemReported = true;
    }
    return true;
}

void CheckManufacturers(const IniDocument& index, ManufacturerFiles& files,
                        std::vector<ParameterProblem>& problems) {
    // The lines the Type page lists, bare lines included.
    for (const auto& entry : index.SectionLines(FlashDatabase::kIndexSection)) {
        const std::string name = FlashDatabase::ManufacturerFile(entry.value);
        auto* file = entry.value.empty() ? nullptr : &files.Get(entry.value);
        if (file && Unusable(entry.value, *file, problems)) {
            continue;
        }
        if (!file || !file->exists) {
            problems.push_back({FlashDatabase::kIndexFile, FlashDatabase::kIndexSection, entry.key,
                                "manufacturer file \"" + name + "\" missing"});
            continue;
        }
        const auto devices = file->document.SectionNames();
        if (devices.empty()) {
            problems.push_back({name, "", "", "no device sections"});
        }
        for (const auto& device : devices) {
            auto found = CheckDeviceOf(name, file->document, device);
            problems.insert(problems.end(), found.begin(), found.end());
        }
    }
}

void CheckAutoTypeTable(const IniDocument& table, ManufacturerFiles& files,
                        std::vector<ParameterProblem>& problems) {
    for (const auto& key : table.SectionNames()) {
        const bool hexKey =
            (key.size() == 6 || key.size() == 4) && std::all_of(key.begin(), key.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c));
            });
        if (!hexKey) {
            problems.push_back({FlashDatabase::kAutoTypeFile, key, "",
                                "not a lookup key of 6 or 4 hexadecimal digits"});
        }
        const std::string manufacturer = table.Read(key, "Manufacturer", "");
        const std::string device = table.Read(key, "NAME", "");
        auto* file = manufacturer.empty() ? nullptr : &files.Get(manufacturer);
        if (file && Unusable(manufacturer, *file, problems)) {
            continue;
        }
        if (!file || !file->exists) {
            problems.push_back({FlashDatabase::kAutoTypeFile, key, "Manufacturer",
                                "no manufacturer file for \"" + manufacturer + "\""});
        } else if (!file->document.HasSection(device)) {
            problems.push_back({FlashDatabase::kAutoTypeFile, key, "NAME",
                                "\"" + device + "\" is not a device of " +
                                    FlashDatabase::ManufacturerFile(manufacturer)});
        }
    }
}

void CheckPinSets(const IniFolder& folder, std::vector<ParameterProblem>& problems) {
    const std::size_t before = problems.size();
    const IniDocument pins = LoadNeeded(folder, kPinSetFile, problems);
    if (problems.size() != before) {
        return;
    }
    const auto count = ParseIniInteger(pins.Read("SetNum", "Num", "1"));
    if (!count || *count < 1) {
        problems.push_back({kPinSetFile, "SetNum", "Num", "not a count of pin sets"});
        return;
    }
    for (int32_t i = 0; i < *count; ++i) {
        const std::string key = std::to_string(i);
        const std::string value = pins.Read("PinSet", key, "");
        bool good = value.size() >= 45;  // the name after the pins may be empty
        for (int column = 0; good && column < 15; ++column) {
            const char tens = value[static_cast<std::size_t>(column * 3)];
            const char units = value[static_cast<std::size_t>(column * 3 + 1)];
            const char comma = value[static_cast<std::size_t>(column * 3 + 2)];
            const int pin = (tens - '0') * 10 + (units - '0');
            good = std::isdigit(static_cast<unsigned char>(tens)) &&
                   std::isdigit(static_cast<unsigned char>(units)) && comma == ',' && pin >= 1 &&
                   pin <= 34;
        }
        if (!good) {
            problems.push_back({kPinSetFile, "PinSet", key,
                                "\"" + value + "\" is not 15 pins (01..34) and a name"});
        }
    }
}

}  // namespace

std::string DescribeProblem(const ParameterProblem& problem) {
    std::string text = "Parameter check : " + problem.file;
    if (!problem.section.empty()) {
        text += " [" + problem.section + "]";
    }
    if (!problem.key.empty()) {
        text += " " + problem.key;
    }
    return text + " : " + problem.message;
}

std::vector<ParameterProblem> CheckDevice(const FlashDatabase& database,
                                          std::string_view manufacturer, std::string_view device) {
    return CheckDeviceOf(FlashDatabase::ManufacturerFile(manufacturer),
                         database.ManufacturerDocument(manufacturer), device);
}

std::vector<ParameterProblem> CheckParameterSet(const FlashDatabase& database) {
    std::vector<ParameterProblem> problems;
    const IniFolder& folder = database.Folder();
    ManufacturerFiles files(database);
    CheckManufacturers(LoadNeeded(folder, FlashDatabase::kIndexFile, problems), files, problems);
    CheckAutoTypeTable(LoadNeeded(folder, FlashDatabase::kAutoTypeFile, problems), files, problems);

    const IniDocument version = folder.Load(FlashDatabase::kVersionFile);
    if (!version.LoadProblem().empty()) {
        problems.push_back({FlashDatabase::kVersionFile, "", "", version.LoadProblem()});
    } else if (version.Read("Parameter", "VERSION", "").empty()) {
        problems.push_back({FlashDatabase::kVersionFile, "Parameter", "VERSION", "missing"});
    }
    CheckPinSets(folder, problems);
    return problems;
}

}  // namespace quillon
