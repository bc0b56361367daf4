// The stores a station uses by default: board 0 keeps the names it always had, a station of
// another board has its own settings file and record spool, so two boards never share one
// unless told to (--settings and QUILLON_SETTINGS still name the file).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "config/settings_location.h"
#include "records/unit_spool.h"

namespace quillon::cli {
namespace {

class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(BoardStoreNamesTest, EachBoardHasItsOwnDefaultSettingsAndSpool) {
    const ScopedVariable config("XDG_CONFIG_HOME", "/xdg");
    const ScopedVariable state("XDG_STATE_HOME", "/state");
    const ScopedVariable settings("QUILLON_SETTINGS", nullptr);
    struct Case {
        int board;
        const char* settingsFile;
        const char* spoolFolder;
    };
    const Case cases[] = {
        {0, "/xdg/quillon/settings.sqlite", "/state/quillon/spool"},
        {3, "/xdg/quillon/settings-board-3.sqlite", "/state/quillon/spool-board-3"},
        {15, "/xdg/quillon/settings-board-15.sqlite", "/state/quillon/spool-board-15"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("board " + std::to_string(c.board));
        EXPECT_EQ(ResolveSettingsPath("", c.board), c.settingsFile);
        EXPECT_EQ(UnitSpool::DefaultFolder(c.board), c.spoolFolder);
        EXPECT_EQ(ResolveSettingsPath("/given.sqlite", c.board), "/given.sqlite");
    }
    const ScopedVariable named("QUILLON_SETTINGS", "/env.sqlite");
    EXPECT_EQ(ResolveSettingsPath("", 3), "/env.sqlite");
}

}  // namespace
}  // namespace quillon::cli
