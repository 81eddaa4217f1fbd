#include "core/globals.h"
#include "platform/semaphore.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

namespace {

// At namespace scope, as the OpenCL set-up thread's semaphore is.
CountingSemaphore waitedOnAtExit;

TEST(GlobalsAtExit, ExitEndsTheProcessWhileThreadsStillWaitOnGlobals)
{
    // A child whose threads sleep on a global semaphore and on computeRequest, as the set-up
    // and compute threads do most of a run, calls exit(), which destroys both; an alarm ends a
    // child that still waits a minute later.
    const pid_t child = fork();
    if (child == 0) {
        alarm(60);
        std::atomic<pid_t> sleeper{0};
        std::atomic<bool> computeWaits{false};
        std::thread([&] {
            sleeper = static_cast<pid_t>(syscall(SYS_gettid));
            waitedOnAtExit.acquire();
        }).detach();
        std::thread([&] {
            std::unique_lock lock(computeRequestMutex);
            computeWaits = true;
            computeRequest.wait(lock);
        }).detach();
        // State 'S' in the sleeper's stat: it sleeps in acquire.
        const auto asleep = [&] {
            std::ifstream stat("/proc/self/task/" + std::to_string(sleeper) + "/stat");
            const std::string text((std::istreambuf_iterator<char>(stat)), {});
            return text.find(") S ") != std::string::npos;
        };
        while (sleeper == 0 || !asleep() || !computeWaits)
            std::this_thread::yield();
        std::lock_guard lock(computeRequestMutex); // free once the compute thread waits
        std::exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "exit() still waits: " << status;
}

} // namespace
