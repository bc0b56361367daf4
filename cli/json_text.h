#pragma once

#include <initializer_list>
#include <string>
#include <utility>

namespace quillon::cli {

// A JSON string literal of UTF-8 text: quotes, backslashes and control characters escaped.
// Only flat objects of strings and numbers are written here, so a JSON library would add a
// dependency for these few lines.
std::string JsonString(const std::string& text);

// A number with three decimals (seconds).
std::string JsonSeconds(double seconds);

// One JSON object from members whose values are already JSON ("\"x\"", "12", "[...]").
std::string JsonObject(std::initializer_list<std::pair<const char*, std::string>> members);

}  // namespace quillon::cli
