#include "platform/unit_identity.h"

#include <unistd.h>
#include <uuid/uuid.h>

#include <climits>

namespace quillon::platform {

namespace {
constexpr std::size_t kUuidTextSize = 37;  // 36 characters and the terminating NUL
}  // namespace

std::string NewRandomUuid() {
    // libuuid reads the kernel's random source; a version 4 UUID needs nothing else.
    uuid_t id;
    uuid_generate_random(id);
    char text[kUuidTextSize];
    uuid_unparse_lower(id, text);
    return text;
}

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return "";
    }
    return name;
}

}  // namespace quillon::platform
