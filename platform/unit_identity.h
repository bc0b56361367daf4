#pragma once

#include <string>

namespace quillon::platform {

// A fresh random (version 4) UUID in its 36-character lower-case text form, from the
// system's generator.
std::string NewRandomUuid();

// This computer's host name, or "" when the system cannot say.
std::string HostName();

}  // namespace quillon::platform
