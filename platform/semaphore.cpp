#include "platform/semaphore.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Sleeps while *word holds seen, at most timeout when one is given; the kernel compares and
// sleeps in one step, so a change made before the call is never slept through.
void futexWait(uint32_t* word, uint32_t seen, const timespec* timeout)
{
    ::syscall(SYS_futex, word, FUTEX_WAIT_PRIVATE, seen, timeout, nullptr, 0);
}

void futexWake(uint32_t* word, int count)
{
    ::syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, count, nullptr, nullptr, 0);
}

timespec timespecOf(std::chrono::nanoseconds span)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((span - seconds).count())};
}

} // namespace

void CountingSemaphore::release(int64_t n)
{
    if (n <= 0)
        return;
    bool waiting;
    {
        std::lock_guard lock(mutex);
        count += n;
        releases += 1;
        waiting = waiters > 0;
    }
    if (waiting)
        futexWake(&releases, n == 1 ? 1 : INT_MAX);
}

void CountingSemaphore::acquire()
{
    take(nullptr);
}

bool CountingSemaphore::tryAcquire()
{
    std::lock_guard lock(mutex);
    if (count <= 0)
        return false;
    --count;
    return true;
}

bool CountingSemaphore::tryAcquireFor(std::chrono::nanoseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    return take(&deadline);
}

bool CountingSemaphore::take(const std::chrono::steady_clock::time_point* deadline)
{
    std::unique_lock lock(mutex);
    while (count <= 0) {
        timespec timeout{};
        if (deadline != nullptr) {
            const auto left = *deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::nanoseconds::zero())
                return false;
            timeout = timespecOf(left);
        }
        // A release after this reading changes the word, so the sleep cannot miss it.
        const uint32_t seen = releases;
        waiters += 1;
        lock.unlock();
        futexWait(&releases, seen, deadline != nullptr ? &timeout : nullptr);
        lock.lock();
        waiters -= 1;
    }
    --count;
    return true;
}
