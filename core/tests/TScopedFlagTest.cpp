#include "core/TScopedFlag.h"

#include <gtest/gtest.h>

#include <stdexcept>

// The flag is down again after the scope, after an exception out of it, and
// a nested scope does not lower it for the scope around it.
TEST(TScopedFlag, RestoresOnEveryWayOut) {
    bool moving = false;
    {
        const TScopedFlag outer(moving);
        EXPECT_TRUE(moving);
        {
            const TScopedFlag inner(moving);
            EXPECT_TRUE(moving);
        }
        EXPECT_TRUE(moving);
    }
    EXPECT_FALSE(moving);

    EXPECT_THROW(
        {
            const TScopedFlag scope(moving);
            throw std::runtime_error("the move failed");
        },
        std::runtime_error);
    EXPECT_FALSE(moving);
}
