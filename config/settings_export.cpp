#include "config/settings_export.h"

#include <cstdio>
#include <stdexcept>

#include "config/atomic_file.h"
#include "platform/legacy_text.h"
#include "runtime/operation_frame_lines.h"

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

std::string RegistryExportRoot() {
#ifdef _WIN32
    // The program's store lives under the user's root (the machine's needs administrator
    // rights), so the registry editor recreates it from this file there.
    return "HKEY_CURRENT_USER";
#else
    return "HKEY_LOCAL_MACHINE";
#endif
}

std::vector<std::string> RegistryExportLines(const SettingsStore& store) {
    std::vector<std::string> lines = {
        "REGEDIT4", "[" + RegistryExportRoot() + "\\" + std::string(SettingsStore::kKeyPath) + "]"};
    for (const auto& value : store.Enumerate()) {
        lines.push_back(RegistryExportLine(value));
    }
    return lines;
}

std::string RegistryExportText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        const auto legacy = platform::ToLegacyText(line);
        if (!legacy) {
            // REGEDIT4 has no other way to write the character: say so rather than write '?'.
            throw std::runtime_error("the line '" + line + "' has characters that " +
                                     platform::LegacyCodePageName() +
                                     " cannot hold; the file was not written");
        }
        text += *legacy;
        text += "\r\n";
    }
    return text;
}

FileDialogRequest SettingsExportDialog() {
    return {"[*.reg]|*.reg", "KavoEC_Quillon_Setting.reg", ""};
}

bool SaveSettingsExport(const SettingsStore& store, OperatorPanel& panel, MessageLog& log,
                        const std::optional<std::string>& chosen) {
    OperationLines lines(panel, log);
    lines.Begin("Save Kavo Quillon Setting to File", "Saving...");
    if (!chosen) {
        lines.End(StepReport::Refusal(kNoFileChosen));
        return false;
    }
    const auto text = RegistryExportText(RegistryExportLines(store));
    WriteFileAtomically(*chosen, text);
    lines.End(StepReport::Done(), {}, {SavedInLine(*chosen)});
    return true;
}

}  // namespace quillon
