// Pacing of a draw-and-swap loop to the display's refresh rate where the buffer swap does not
// wait for the vertical retrace (software rendering, a virtual display).
#pragma once

#include <chrono>

class FramePacer {
public:
    using Clock = std::chrono::steady_clock;

    // refreshRate in Hz; 0 or less (none known) paces at 60 Hz.
    explicit FramePacer(int refreshRate = 0);

    // When the pass that ended at now may go on: the end of its refresh period when it ended
    // well within the period, otherwise now. A swap that waits for the retrace makes every pass
    // last a period, so such a display never waits here.
    Clock::time_point deadlineAfter(Clock::time_point now);

    // Sleeps until deadlineAfter(now).
    void pace();

    Clock::duration period() const { return refreshPeriod; }

private:
    Clock::duration refreshPeriod;
    Clock::time_point passStart{}; // start of the current pass; the epoch before the first
};
