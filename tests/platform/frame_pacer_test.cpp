#include "platform/frame_pacer.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

TEST(FramePacer, HoldsQuickPassesToTheRateAndNeverDelaysRetracePacedOnes)
{
    EXPECT_EQ(FramePacer(0).period(), FramePacer(60).period()) << "no known rate paces at 60 Hz";
    FramePacer pacer(50);
    ASSERT_EQ(pacer.period(), milliseconds(20));
    FramePacer::Clock::time_point now = FramePacer::Clock::time_point{} + std::chrono::hours(1);
    EXPECT_EQ(pacer.deadlineAfter(now), now);

    // Quick passes woken 1 ms late: the deadlines stay one period apart, the lateness never adds up.
    const FramePacer::Clock::time_point start = now;
    for (int pass = 1; pass <= 5; ++pass) {
        now = start + (pass - 1) * milliseconds(20) + milliseconds(pass == 1 ? 2 : 3);
        EXPECT_EQ(pacer.deadlineAfter(now), start + pass * milliseconds(20)) << pass;
    }

    // A long pass does not wait, and the quick one after it waits a whole period from its end:
    // no burst of passes to catch up.
    now = start + milliseconds(500);
    EXPECT_EQ(pacer.deadlineAfter(now), now);
    EXPECT_EQ(pacer.deadlineAfter(now + milliseconds(2)), now + milliseconds(20));

    // A swap that waits for a retrace a little faster than the reported rate: no pass ever waits.
    now += milliseconds(20);
    for (int pass = 0; pass < 10000; ++pass) {
        now += milliseconds(20) - microseconds(50);
        ASSERT_EQ(pacer.deadlineAfter(now), now) << pass;
    }
}

} // namespace
