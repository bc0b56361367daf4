#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/flash_database.h"

namespace quillon {

// One fault found in the parameter files: which file, which section and key, and what is wrong.
struct ParameterProblem {
    std::string file;
    std::string section;
    std::string key;  // empty when the fault concerns the whole section or file
    std::string message;
};

// "Parameter check : Winbond.ini [W25Q64FV] Flashblock : ..." for a report of the self-check
// (the test suite, the command line's parameter check); never for the operator's log.
std::string DescribeProblem(const ParameterProblem& problem);

// Checks one device section: integer fields parse and lie in their ranges, the fields a part
// must set are present, the size text agrees with Flashblock, and a sector layout adds up to
// the part's size. A device that does not exist has nothing to check.
std::vector<ParameterProblem> CheckDevice(const FlashDatabase& database,
                                          std::string_view manufacturer, std::string_view device);

// Checks the whole set: every index entry has its file, every device passes CheckDevice, every
// auto-typing entry names an existing manufacturer file and device, the version is present and
// every pin set has the pin-set form.
std::vector<ParameterProblem> CheckParameterSet(const FlashDatabase& database);

}  // namespace quillon
