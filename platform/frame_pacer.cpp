#include "platform/frame_pacer.h"

#include <thread>

namespace {

constexpr int fallbackRefreshRate = 60;

} // namespace

FramePacer::FramePacer(int refreshRate)
    : refreshPeriod(Clock::duration(std::chrono::seconds(1)) /
                    (refreshRate > 0 ? refreshRate : fallbackRefreshRate))
{
}

FramePacer::Clock::time_point FramePacer::deadlineAfter(Clock::time_point now)
{
    // NOTE: only a pass clearly shorter than a period waits. A retrace-paced pass lasts about a
    // period, slightly less on a display a little faster than its reported rate; waiting out
    // that difference would add up until a retrace is missed.
    const Clock::duration elapsed = now - passStart;
    if (elapsed >= refreshPeriod * 3 / 4) {
        passStart = now;
        return now;
    }
    // The next pass is timed from the deadline, not from the wake-up, so the cadence holds.
    passStart += refreshPeriod;
    return passStart;
}

void FramePacer::pace()
{
    std::this_thread::sleep_until(deadlineAfter(Clock::now()));
}
