#include "platform/frame_pacer.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(FramePacer, HoldsQuickPassesToTheRateAndNeverDelaysRetracePacedOnes)
{
    EXPECT_EQ(FramePacer(0).period(), FramePacer(60).period()) << "no known rate paces at 60 Hz";
    const FramePacer::Clock::time_point start{1h};

    // Passes that end 3 ms into their period, sleep overshoot included: the deadlines stay 20 ms
    // apart, the overshoot does not add up.
    FramePacer quick(50);
    EXPECT_EQ(quick.deadlineAfter(start), start);
    for (int pass = 1; pass <= 5; ++pass)
        EXPECT_EQ(quick.deadlineAfter(start + pass * 20ms - 17ms), start + pass * 20ms) << pass;

    // Swaps that wait for a retrace a little faster than the reported rate: no pass ever waits.
    FramePacer retrace(50);
    for (FramePacer::Clock::time_point now = start; now < start + 5min; now += 19950us)
        ASSERT_EQ(retrace.deadlineAfter(now), now);
}

} // namespace
