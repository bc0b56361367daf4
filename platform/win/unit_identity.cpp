#include "platform/unit_identity.h"

#include <rpc.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/system_error_text.h"

namespace quillon::platform {

std::string NewRandomUuid() {
    // UuidCreate makes a version 4 UUID from the system's random source.
    UUID id{};
    const RPC_STATUS made = ::UuidCreate(&id);
    if (made != RPC_S_OK && made != RPC_S_UUID_LOCAL_ONLY) {
        return "";
    }
    struct RpcStringFree {
        void operator()(RPC_CSTR text) const { ::RpcStringFreeA(&text); }
    };
    RPC_CSTR raw = nullptr;
    if (::UuidToStringA(&id, &raw) != RPC_S_OK || raw == nullptr) {
        return "";
    }
    const std::unique_ptr<unsigned char, RpcStringFree> owned(raw);
    std::string text(reinterpret_cast<const char*>(owned.get()));
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH * 4 + 1] = {};  // a DNS name may exceed NetBIOS's 15
    DWORD size = sizeof name / sizeof name[0];
    if (!::GetComputerNameExW(ComputerNameDnsHostname, name, &size)) {
        return "";
    }
    return Narrow(std::wstring(name, size));
}

}  // namespace quillon::platform
