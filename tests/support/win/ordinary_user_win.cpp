#include "tests/support/ordinary_user.h"

namespace quillon::testing {

// Windows honours the read-only attribute for every user: the body runs here.
void AsOrdinaryUser(const std::filesystem::path& /*folder*/, const std::function<void()>& body) {
    body();
}

}  // namespace quillon::testing
