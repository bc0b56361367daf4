#include "tests/support/ordinary_user.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace quillon::testing {

void AsOrdinaryUser(const std::filesystem::path& folder, const std::function<void()>& body) {
    if (::geteuid() != 0) {
        body();
        return;
    }
    constexpr uid_t kNobody = 65534;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        ASSERT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
    }
    ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
    std::fflush(stdout);  // nothing buffered may be printed twice
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 ||
            ::geteuid() == 0) {
            std::_Exit(2);
        }
        body();
        std::fflush(stdout);
        std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the ordinary user's run ended abnormally";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "the ordinary user's run failed (1: a check above, 2: no user switch)";
}

}  // namespace quillon::testing
