// Stopping work while it runs: the flag is set once the work's thread has computed for a while,
// so the work is surely inside its loops, and the work must then return.
#pragma once

#include <gtest/gtest.h>

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

// CPU seconds a clock has counted.
inline double cpuSeconds(clockid_t clock)
{
    timespec time{};
    clock_gettime(clock, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

// CPU seconds the process's threads but the calling one have used.
inline double otherThreadsCpuSeconds()
{
    return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

// Waits until the process's other threads have used the given CPU seconds from now.
inline void waitForOtherThreadsWork(double seconds)
{
    const double start = otherThreadsCpuSeconds();
    while (otherThreadsCpuSeconds() - start < seconds)
        std::this_thread::yield();
}

// Runs work on a thread of its own, sets stop once the process's other threads (that thread
// and any it hands work to) have computed for 50 ms, and waits for the work to return. Work
// still running a minute later ends the test run: its thread cannot be stopped otherwise.
inline void stopWhileRunning(const std::function<void()>& work, std::atomic<bool>& stop,
                             const std::string& what)
{
    stop = false;
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    const double start = otherThreadsCpuSeconds();
    std::thread worker([&] {
        work();
        done.set_value();
    });
    while (otherThreadsCpuSeconds() - start < 0.05 &&
           finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        std::this_thread::yield();
    stop = true;
    if (finished.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "%s still runs a minute after it was stopped\n", what.c_str());
        std::_Exit(1);
    }
    worker.join();
}
