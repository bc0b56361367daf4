#include "records/station_record.h"

#include <vector>

#include "config/setting_names.h"

namespace quillon {

namespace {
std::string JoinedNonEmpty(const std::vector<std::string>& items, const std::string& separator) {
    std::string out;
    for (const auto& item : items) {
        if (item.empty()) {
            continue;
        }
        if (!out.empty()) {
            out += separator;
        }
        out += item;
    }
    return out;
}
}  // namespace

RunRecord MakeRunRecord(Station& station, const std::string& action, const AutoUnitReport& unit) {
    RunRecord record;
    record.time = UtcNow();
    record.action = action;
    record.pass = unit.pass;
    const auto& ids = station.ChipIdStrings();
    record.chipCode = ids[0];
    record.chipVersion = ids[1];
    record.flashId = JoinedNonEmpty({ids[2], ids[3], ids[4], ids[5], ids[6]}, " ");
    record.part = JoinedNonEmpty(station.Controls().main.deviceLines, " / ");
    record.imagePath = station.Settings().ReadText(setting::kLastFilePath);
    record.imageSize = station.Image().imageFileSize;
    // The bytes as loaded, which are what was flashed, even when the file has changed since.
    record.imageCrc32 = station.Image().imageFileCrc32;
    record.unit = unit;
    record.board = station.BoardIndex();
    return record;
}

}  // namespace quillon
