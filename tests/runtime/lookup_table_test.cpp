#include "platform/lookup_table.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

enum class Colour { Red, Green, Blue, Unlisted };

constexpr LookupRow<Colour, const char*> kNames[] = {
    {Colour::Red, "red"},
    {Colour::Green, "green"},
    {Colour::Blue, "blue"},
    {Colour::Green, "second green"},
};

TEST(LookupTableTest, TheFirstRowWithTheKeyAnswersAndAMissingKeyGetsTheFallback) {
    static_assert(FindIn(kNames, Colour::Blue) == std::optional<const char*>(kNames[2].value));
    EXPECT_STREQ(LookUp(kNames, Colour::Red, "none"), "red");
    EXPECT_STREQ(LookUp(kNames, Colour::Green, "none"), "green");
    EXPECT_STREQ(LookUp(kNames, Colour::Unlisted, "none"), "none");
    EXPECT_FALSE(FindIn(kNames, Colour::Unlisted).has_value());
}

}  // namespace
}  // namespace quillon
