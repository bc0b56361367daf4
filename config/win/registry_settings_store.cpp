#include "config/win/registry_settings_store.h"

#include <cstdio>
#include <cstring>

#include "config/settings_backend.h"
#include "platform/system_error_text.h"

namespace quillon {

namespace {

using platform::Narrow;
using platform::SystemErrorText;
using platform::Widen;

// The longest value name the registry allows, plus its terminator.
constexpr DWORD kMaxValueName = 16384;

// A REG_SZ's bytes as text: UTF-16 up to the first terminator (the stored size may or may
// not count one).
std::string TextOf(const std::vector<uint8_t>& bytes) {
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(wchar_t));
    if (const auto end = wide.find(L'\0'); end != std::wstring::npos) {
        wide.resize(end);
    }
    return Narrow(wide);
}

int32_t DwordOf(const std::vector<uint8_t>& bytes) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return static_cast<int32_t>(value);
}

// A registry value as a setting: REG_DWORD, REG_SZ and REG_BINARY as the program writes them;
// every other type (and a DWORD of another size) as its bytes, fitting no type.
SettingValue ValueOf(std::string name, DWORD type, std::vector<uint8_t> bytes, bool& fits) {
    SettingValue value;
    value.name = std::move(name);
    fits = true;
    switch (type) {
        case REG_DWORD:
            value.type = SettingType::Dword;
            value.dword = DwordOf(bytes);
            fits = bytes.size() == sizeof(DWORD);
            break;
        case REG_SZ:
            value.type = SettingType::Text;
            value.text = TextOf(bytes);
            break;
        default:
            value.type = SettingType::Binary;
            value.binary = std::move(bytes);
            fits = type == REG_BINARY;
            break;
    }
    return value;
}

// A store that earlier installations kept under the machine's root (where the registry
// editor put an imported file) is taken over once, when the user's key is first made, so
// that its settings are not silently left behind. The machine's key is only read. Both
// registry views are looked at, this process's own first: a 32-bit program or editor on
// 64-bit Windows wrote to the 32-bit one.
void TakeOverMachineKey(const std::string& keyPath, HKEY userKey) {
    HKEY machineKey = nullptr;
    const std::wstring path = Widen(keyPath);
    const REGSAM views[] = {0, KEY_WOW64_32KEY, KEY_WOW64_64KEY};
    bool found = false;
    for (const REGSAM view : views) {
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &machineKey) ==
            ERROR_SUCCESS) {
            found = true;
            break;
        }
    }
    if (!found) {
        return;
    }
    const LSTATUS copied = ::RegCopyTreeW(machineKey, nullptr, userKey);
    ::RegCloseKey(machineKey);
    if (copied != ERROR_SUCCESS) {
        std::fprintf(stderr,
                     "quillon: the settings under HKEY_LOCAL_MACHINE\\%s were not taken over: %s\n",
                     keyPath.c_str(), SystemErrorText(static_cast<uint32_t>(copied)).c_str());
    }
}

}  // namespace

std::string RegistrySettingsStore::FullName(const std::string& keyPath) {
    return "HKEY_CURRENT_USER\\" + keyPath;
}

std::unique_ptr<RegistrySettingsStore> RegistrySettingsStore::Open(const std::string& keyPath) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, Widen(keyPath).c_str(), 0, nullptr,
                                             REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                                             &key, &disposition);
    if (status != ERROR_SUCCESS) {
        throw SettingsFileError(FullName(keyPath), SystemErrorText(static_cast<uint32_t>(status)),
                                "settings key");
    }
    if (disposition == REG_CREATED_NEW_KEY) {
        TakeOverMachineKey(keyPath, key);
    }
    return std::unique_ptr<RegistrySettingsStore>(new RegistrySettingsStore(keyPath, key));
}

RegistrySettingsStore::RegistrySettingsStore(std::string keyPath, HKEY key)
    : keyPath_(std::move(keyPath)), key_(key) {}

RegistrySettingsStore::~RegistrySettingsStore() {
    ::RegCloseKey(key_);
}

bool RegistrySettingsStore::Query(const std::wstring& name, Raw& raw) const {
    for (;;) {
        DWORD size = static_cast<DWORD>(raw.bytes.size());
        const LSTATUS status =
            ::RegQueryValueExW(key_, name.c_str(), nullptr, &raw.type,
                               raw.bytes.empty() ? nullptr : raw.bytes.data(), &size);
        if (status == ERROR_FILE_NOT_FOUND) {
            return false;
        }
        if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && raw.bytes.empty() && size)) {
            raw.bytes.resize(size);  // the value may grow between the two calls: ask again
            continue;
        }
        if (status != ERROR_SUCCESS) {
            throw SettingsError("Failed to get data for '" + Narrow(name) +
                                "': " + SystemErrorText(static_cast<uint32_t>(status)));
        }
        raw.bytes.resize(size);
        return true;
    }
}

std::optional<RegistrySettingsStore::Fetched> RegistrySettingsStore::Fetch(
    const std::string& name) const {
    Raw raw;
    if (!Query(Widen(name), raw)) {
        return std::nullopt;
    }
    Fetched fetched;
    fetched.value = ValueOf(name, raw.type, std::move(raw.bytes), fetched.fits);
    return fetched;
}

void RegistrySettingsStore::Set(const std::string& name, DWORD type, const void* data,
                                std::size_t size) {
    const LSTATUS status =
        ::RegSetValueExW(key_, Widen(name).c_str(), 0, type, static_cast<const BYTE*>(data),
                         static_cast<DWORD>(size));
    if (status != ERROR_SUCCESS) {
        throw SettingsError("Failed to write data for '" + name + "' to '" + FullName(keyPath_) +
                            "': " + SystemErrorText(static_cast<uint32_t>(status)));
    }
    if (batchDepth_ == 0) {
        Flush();
    }
}

void RegistrySettingsStore::Store(const SettingValue& value) {
    switch (value.type) {
        case SettingType::Dword: {
            const auto dword = static_cast<DWORD>(value.dword);
            Set(value.name, REG_DWORD, &dword, sizeof dword);
            return;
        }
        case SettingType::Text: {
            const std::wstring wide = Widen(value.text);
            Set(value.name, REG_SZ, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
            return;
        }
        case SettingType::Binary:
            Set(value.name, REG_BINARY, value.binary.data(), value.binary.size());
            return;
    }
}

void RegistrySettingsStore::Flush() {
    const LSTATUS status = ::RegFlushKey(key_);
    if (status != ERROR_SUCCESS) {
        throw SettingsError("Failed to write data to '" + FullName(keyPath_) +
                            "': " + SystemErrorText(static_cast<uint32_t>(status)));
    }
}

void RegistrySettingsStore::EndBatch() {
    if (batchDepth_ > 0 && --batchDepth_ == 0) {
        Flush();
    }
}

std::vector<SettingValue> RegistrySettingsStore::Enumerate() const {
    std::vector<SettingValue> values;
    std::wstring name(kMaxValueName, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = kMaxValueName;
        const LSTATUS status = ::RegEnumValueW(key_, index, name.data(), &nameLength, nullptr,
                                               nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS) {
            throw SettingsError("Cannot list the settings in '" + FullName(keyPath_) +
                                "': " + SystemErrorText(static_cast<uint32_t>(status)));
        }
        const std::wstring valueName(name.data(), nameLength);
        Raw raw;
        if (!Query(valueName, raw)) {
            continue;  // removed meanwhile
        }
        bool fits = true;
        SettingValue value = ValueOf(Narrow(valueName), raw.type, std::move(raw.bytes), fits);
        values.push_back(std::move(value));
    }
    return values;
}

}  // namespace quillon
