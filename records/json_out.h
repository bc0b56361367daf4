#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace quillon {

// The JSON the command line writes (the --json events, the JSON Lines records): members keep
// the order they are given in.
using JsonObject = nlohmann::ordered_json;

// One JSON text on one line. Text that is not valid UTF-8 (a file name in another encoding)
// is written with U+FFFD in place of the bad bytes, so the line stays valid JSON.
std::string JsonText(const JsonObject& value);

// Seconds as the records and events carry them: to the millisecond.
double JsonSeconds(double seconds);

// Seconds with three decimals, as the CSV records write them.
std::string SecondsText(double seconds);

}  // namespace quillon
