#include "config/settings_export.h"

#include <cstdio>

#include "config/atomic_file.h"

namespace quillon {

namespace {

// Inside a quoted string the registry editor reads \\ as one backslash and \" as a quote.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    std::string out;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        if (i > 0) {
            out += ',';
        }
        out += pair;
    }
    return out;
}

// A text with a line break or NUL cannot stand in a quoted string without breaking the
// file's lines; the editor's hex(1) form keeps it whole (the bytes and the final NUL).
bool NeedsHexForm(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

}  // namespace

std::string RegistryExportLine(const SettingValue& value) {
    const auto name = Quoted(value.name);
    switch (value.type) {
        case SettingType::Dword: {
            char digits[9];
            std::snprintf(digits, sizeof digits, "%08X", static_cast<uint32_t>(value.dword));
            return name + "=dword:" + digits;
        }
        case SettingType::Text:
            if (NeedsHexForm(value.text)) {
                std::vector<uint8_t> bytes(value.text.begin(), value.text.end());
                bytes.push_back(0);
                return name + "=hex(1):" + HexBytes(bytes);
            }
            return name + "=" + Quoted(value.text);
        case SettingType::Binary:
            return name + "=hex:" + HexBytes(value.binary);
    }
    return name;
}

std::vector<std::string> RegistryExportLines(const SettingsStore& store) {
    std::vector<std::string> lines = {
        "REGEDIT4", "[HKEY_LOCAL_MACHINE\\" + std::string(SettingsStore::kKeyPath) + "]"};
    for (const auto& value : store.Enumerate()) {
        lines.push_back(RegistryExportLine(value));
    }
    return lines;
}

std::string RegistryExportText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

FileDialogRequest SettingsExportDialog() {
    return {"[*.reg]|*.reg", "KavoEC_Quillon_Setting.reg", ""};
}

bool SaveSettingsExport(const SettingsStore& store, MessageLog& log,
                        const std::optional<std::string>& chosen) {
    const auto text = RegistryExportText(RegistryExportLines(store));
    log.Append("Save Kavo Quillon Setting to File ---> Saving...");
    if (!chosen) {
        log.ReplaceLast("Save Kavo Quillon Setting to File ---> Cancel !");
        return false;
    }
    WriteFileAtomically(*chosen, text);
    log.ReplaceLast("Save Kavo Quillon Setting to File ---> OK !");
    log.Append("Save in '" + *chosen + "'");
    return true;
}

}  // namespace quillon
