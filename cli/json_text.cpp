#include "cli/json_text.h"

#include <cstdio>

namespace quillon::cli {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x",
                                  static_cast<unsigned>(static_cast<unsigned char>(c)));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string JsonSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

std::string JsonObject(std::initializer_list<std::pair<const char*, std::string>> members) {
    std::string out = "{";
    bool first = true;
    for (const auto& [name, value] : members) {
        if (!first) {
            out += ",";
        }
        first = false;
        out += JsonString(name) + ":" + value;
    }
    return out + "}";
}

}  // namespace quillon::cli
