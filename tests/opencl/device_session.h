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
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

// Fills the device list quietly; false when the machine has no OpenCL device.
inline bool findDevices()
{
    testing::internal::CaptureStdout();
    listDevices(false);
    testing::internal::GetCapturedStdout();
    return !clState.deviceList.empty();
}

// The set-up thread for one test: started by start(), asked to end and joined by stop() or
// at the end of the test. The OpenCL objects it built are released after it ended.
class SetupThread {
public:
    ~SetupThread() { stop(); }

    void start()
    {
        quitFlag = false;
        thread = std::thread(openCLSetupThread);
    }

    void stop()
    {
        if (!thread.joinable())
            return;
        quitFlag = true;
        clSetupSemaphore.release(1);
        thread.join();
        quitFlag = false;
        while (clSetupSemaphore.tryAcquire()) {
        }
        releaseBuiltObjects();
        clReady = false;
        clRebuildRequested = false;
    }

private:
    std::thread thread;
};
