#include "platform/Delay.h"

#include <chrono>
#include <gtest/gtest.h>
#include <vector>

TEST(Delay, HookReceivesEveryWaitInOrderAndRealSleepComesBack) {
    std::vector<int> seen;
    pellum::SetDelayHook([&](int ms) { seen.push_back(ms); });
    pellum::Delay(200);
    pellum::Delay(-5);
    pellum::Delay(50);
    pellum::SetDelayHook({});
    EXPECT_EQ(seen, (std::vector<int>{200, 0, 50}));

    auto start = std::chrono::steady_clock::now();
    pellum::Delay(20);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}
