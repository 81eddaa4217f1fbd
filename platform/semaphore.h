// A counting semaphore with a 64-bit count.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

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
        }
        if (n == 1)
            available.notify_one();
        else
            available.notify_all();
    }

    // Takes one token, waiting until one is there.
    void acquire()
    {
        std::unique_lock lock(mutex);
        available.wait(lock, [this] { return count > 0; });
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
    std::condition_variable available;
    int64_t count;
};
