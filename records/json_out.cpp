#include "records/json_out.h"

#include <cmath>
#include <cstdio>

namespace quillon {

namespace {
constexpr double kMillisPerSecond = 1000.0;
}  // namespace

std::string JsonText(const JsonObject& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

double JsonSeconds(double seconds) {
    return std::round(seconds * kMillisPerSecond) / kMillisPerSecond;
}

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

}  // namespace quillon
