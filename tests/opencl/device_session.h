// The PoCL device of this machine as the OpenCL tests use it: the device list filled, the
// set-up thread started and stopped, and a wait for its flags.
#pragma once

#include "core/globals.h"
#include "opencl/cl_globals.h"
#include "opencl/opencl_backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

// Waits until the condition holds; false when it does not within a minute.
inline bool waitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return condition();
}

// Fills the device list quietly; false when the machine has no OpenCL device.
inline bool findDevices()
{
    testing::internal::CaptureStdout();
    listDevices(false);
    testing::internal::GetCapturedStdout();
    return !clState.deviceList.empty();
}

// The set-up thread for one test: stop() or the end of the test asks it to end, joins it and
// then releases the OpenCL objects it built.
class SetupThread {
public:
    ~SetupThread() { stop(); }
    void start() { thread = std::thread(openCLSetupThread); }

    void stop()
    {
        if (!thread.joinable())
            return;
        quitFlag = true;
        clSetupSemaphore.release(1);
        thread.join();
        while (clSetupSemaphore.tryAcquire()) {
        }
        releaseBuiltObjects();
        quitFlag = clReady = clRebuildRequested = false;
    }

private:
    std::thread thread;
};
