// Tests of what only a fresh process has (the buffers of static initialisation, a step taken
// once per process, the whole program run in the test's process) get a process of their own
// however the test executable is run: CTest runs every test alone; when this process runs
// other tests too, the test runs again alone in a child process.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string>

// True when the calling test is the only one this process runs: its body goes on here.
// Otherwise runs this executable for the calling test alone, records a failure when that run
// fails and returns false: the caller returns at once.
inline bool aloneInThisProcess()
{
    const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
    if (unit.test_to_run_count() == 1 && GTEST_FLAG_GET(repeat) == 1)
        return true;

    const testing::TestInfo& test = *unit.current_test_info();
    std::string filter = std::string("--gtest_filter=") + test.test_suite_name() + "." + test.name();
    std::string repeat = "--gtest_repeat=1";
    std::string self = "/proc/self/exe";
    char* argv[] = {self.data(), filter.data(), repeat.data(), nullptr};
    std::cout.flush();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execv(self.c_str(), argv);
        _exit(127);
    }
    int status = 0;
    pid_t done = -1;
    if (child > 0) {
        do
            done = waitpid(child, &status, 0);
        while (done < 0 && errno == EINTR);
    }
    EXPECT_TRUE(done == child && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the test run alone in a child process failed (" << filter << ")";
    return false;
}
