#pragma once

#include <string>

#include "records/run_record.h"
#include "station/station.h"

namespace quillon {

// The record of one unit the station just finished: what the station knows now (chip, part,
// image and its CRC-32) and the unit's report.
RunRecord MakeRunRecord(Station& station, const std::string& action, const AutoUnitReport& unit);

}  // namespace quillon
