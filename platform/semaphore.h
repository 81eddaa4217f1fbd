// A counting semaphore with a 64-bit count.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

// NOTE: waiters sleep on an atomic word, not on a condition variable: destroying a condition
// variable that a thread still waits on blocks for ever, and a semaphore at namespace scope is
// destroyed by exit() while its thread may still wait. Destroying this one never waits.
class CountingSemaphore {
public:
    explicit CountingSemaphore(int64_t initial = 0) : count(initial) {}
    CountingSemaphore(const CountingSemaphore&) = delete;
    CountingSemaphore& operator=(const CountingSemaphore&) = delete;

    // Adds n tokens and wakes as many waiters.
    void release(int64_t n = 1)
    {
        if (n <= 0)
            return;
        {
            std::lock_guard lock(mutex);
            count += n;
            releases.fetch_add(1, std::memory_order_relaxed);
        }
        if (n == 1)
            releases.notify_one();
        else
            releases.notify_all();
    }

    // Takes one token, waiting until one is there.
    void acquire()
    {
        std::unique_lock lock(mutex);
        while (count <= 0) {
            // A release after this reading changes the word, so the wait cannot miss it.
            const uint32_t seen = releases.load(std::memory_order_relaxed);
            lock.unlock();
            releases.wait(seen, std::memory_order_relaxed);
            lock.lock();
        }
        --count;
    }

    // Takes one token if one is there.
    bool tryAcquire()
    {
        std::lock_guard lock(mutex);
        if (count <= 0)
            return false;
        --count;
        return true;
    }

private:
    std::mutex mutex;
    int64_t count;                      // guarded by mutex
    std::atomic<uint32_t> releases{0}; // changes with every release; waiters sleep on it
};
