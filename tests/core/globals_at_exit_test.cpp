#include "core/globals.h"
#include "platform/semaphore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

// A semaphore at namespace scope, as the OpenCL set-up thread's is.
CountingSemaphore waitedOnAtExit;

// The scheduler state of one of this process's threads: 'S' while it sleeps.
char threadState(pid_t thread)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), {});
    const size_t end = text.rfind(')');
    return end != std::string::npos && end + 2 < text.size() ? text[end + 2] : '?';
}

TEST(GlobalsAtExit, ExitEndsTheProcessWhileThreadsStillWaitOnGlobals)
{
    // In a child: one thread asleep on a namespace-scope semaphore, one on computeRequest, as
    // the set-up and compute threads are for most of a run; then exit(), which destroys both.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::atomic<pid_t> semaphoreThread{0};
        std::atomic<bool> computeWaiting{false};
        std::thread([&] {
            semaphoreThread = static_cast<pid_t>(syscall(SYS_gettid));
            waitedOnAtExit.acquire();
        }).detach();
        std::thread([&] {
            std::unique_lock lock(computeRequestMutex);
            computeWaiting = true;
            computeRequest.wait(lock);
        }).detach();
        while (semaphoreThread == 0 || threadState(semaphoreThread) != 'S' || !computeWaiting)
            std::this_thread::yield();
        // The compute thread holds the mutex until it waits.
        { std::lock_guard lock(computeRequestMutex); }
        std::exit(3);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            FAIL() << "exit() still waits for a thread a minute later";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

} // namespace
