#include "platform/semaphore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace {

TEST(CountingSemaphoreTest, CountsBeyondThirtyTwoBitsAndWakesWaiters)
{
    CountingSemaphore semaphore;
    EXPECT_FALSE(semaphore.tryAcquire());
    semaphore.release(int64_t{1} << 33);
    semaphore.release(0);
    semaphore.release(-3);
    for (int i = 0; i < 1000; ++i)
        EXPECT_TRUE(semaphore.tryAcquire());

    CountingSemaphore gate;
    // Both waiters must wake from one release of two tokens, or the joins never return.
    std::thread a([&] { gate.acquire(); });
    std::thread b([&] { gate.acquire(); });
    gate.release(2);
    a.join();
    b.join();
    EXPECT_FALSE(gate.tryAcquire());

    // A timed wait ends empty-handed at its timeout, and with the token once one is released.
    EXPECT_FALSE(gate.tryAcquireFor(std::chrono::milliseconds(1)));
    EXPECT_FALSE(gate.tryAcquireFor(std::chrono::nanoseconds(-1)));
    std::thread c([&] { EXPECT_TRUE(gate.tryAcquireFor(std::chrono::hours(1))); });
    gate.release();
    c.join();
    gate.release();
    EXPECT_TRUE(gate.tryAcquireFor(std::chrono::nanoseconds(0)));
}

} // namespace
