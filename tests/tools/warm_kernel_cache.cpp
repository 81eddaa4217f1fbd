// Builds the program's kernels once on the first OpenCL device, so that PoCL's kernel cache holds
// them before the tests that use the device run side by side. A process that finds a program
// missing from the cache writes it by removing the cached file and renaming a new one into its
// place; another process reading the cache in between fails its build inside PoCL.
// Ends with 0 also without a device: the tests that need one say so themselves.
#include "core/globals.h"
#include "opencl/cl_globals.h"
#include "opencl/opencl_backend.h"

#include <chrono>
#include <cstdio>
#include <thread>

int main()
{
    listDevices(false);
    if (clState.deviceList.empty()) {
        std::puts("No OpenCL device: nothing to build");
        return 0;
    }
    deviceId = 0;
    requestKernelRebuild();
    std::thread setup(openCLSetupThread);
    // The set-up thread clears the request once the build is done; a failed build ends the process.
    while (clRebuildRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    quitFlag = true;
    clSetupSemaphore.release(1);
    setup.join();
    releaseBuiltObjects();
    return clReady ? 0 : 1;
}
