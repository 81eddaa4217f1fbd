// A counting semaphore with a 64-bit count.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

// NOTE: waiters sleep on a futex word, not on a condition variable: destroying a condition
// variable that a thread still waits on blocks for ever, and a semaphore at namespace scope is
// destroyed by exit() while its thread may still wait. Destroying this one never waits.
class CountingSemaphore {
public:
    explicit CountingSemaphore(int64_t initial = 0) : count(initial) {}
    CountingSemaphore(const CountingSemaphore&) = delete;
    CountingSemaphore& operator=(const CountingSemaphore&) = delete;

    // Adds n tokens and wakes as many waiters.
    void release(int64_t n = 1);

    // Takes one token, waiting until one is there.
    void acquire();

    // Takes one token if one is there.
    bool tryAcquire();

    // Takes one token, waiting at most timeout for one; false when none came in time.
    bool tryAcquireFor(std::chrono::nanoseconds timeout);

private:
    // Takes one token, waiting until one is there or, with a deadline, until then.
    bool take(const std::chrono::steady_clock::time_point* deadline);

    std::mutex mutex;
    int64_t count;         // guarded by mutex
    uint32_t releases = 0; // guarded by mutex; changes with every release, waiters sleep on it
    uint32_t waiters = 0;  // guarded by mutex
};
