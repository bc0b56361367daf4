#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon::platform {
namespace {

std::vector<int> closed;

struct CountingTraits {
    static int Invalid() { return -1; }
    static void Close(int handle) { closed.push_back(handle); }
};
using Handle = UniqueHandle<CountingTraits>;

TEST(UniqueHandleTest, EveryHeldHandleIsClosedExactlyOnce) {
    closed.clear();
    {
        Handle empty;
        Handle first(3);
        Handle moved(std::move(first));
        EXPECT_FALSE(first.Valid());
        EXPECT_EQ(moved.Get(), 3);

        Handle second(4);
        second = std::move(moved);  // closes 4, takes 3
        EXPECT_EQ(closed, std::vector<int>{4});

        Handle released(5);
        EXPECT_EQ(released.Release(), 5);  // given up: never closed here
        released.Reset(6);
        released.Reset(7);  // closes 6
        EXPECT_EQ(closed, (std::vector<int>{4, 6}));
    }
    EXPECT_EQ(closed, (std::vector<int>{4, 6, 7, 3}));
}

}  // namespace
}  // namespace quillon::platform
