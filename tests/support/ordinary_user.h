#pragma once

#include <filesystem>
#include <functional>

namespace quillon::testing {

// Root ignores file permissions, and the suites may run as root. Then `body` runs in a forked
// child that has become the ordinary user "nobody", who is given `folder` (and everything in
// it) first; otherwise it runs here. The child's failures are printed by the child and fail
// the calling test.
void AsOrdinaryUser(const std::filesystem::path& folder, const std::function<void()>& body);

}  // namespace quillon::testing
