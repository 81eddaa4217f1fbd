#include "opencl/opencl_backend.h"

#include "opencl/cl_api.h"
#include "platform/console.h"

#include <cstdio>
#include <string>

ClState clState;

ClState::~ClState()
{
    if (clInitialised && !kernelLeftRunning)
        releaseCL();
}

void releaseCL()
{
    ClState& s = clState;
    s.clLastError = clApi.clFlush(s.clQueue);
    s.clLastError = clApi.clFinish(s.clQueue);
    s.clLastError = clApi.clReleaseKernel(s.clKernels[1]);
    s.clLastError = clApi.clReleaseProgram(s.clPrograms[1]);
    if (s.clDeviceHasDouble) {
        s.clLastError = clApi.clReleaseKernel(s.clKernels[0]);
        s.clLastError = clApi.clReleaseProgram(s.clPrograms[0]);
    }
    if (s.clBuffersCreated) {
        for (cl_mem& buffer : s.clBuffers) {
            if (buffer != nullptr) {
                s.clLastError = clApi.clReleaseMemObject(buffer);
                buffer = nullptr;
            }
        }
        s.clBuffers.clear();
        s.clBuffersCreated = false;
    }
    s.clLastError = clApi.clReleaseCommandQueue(s.clQueue);
    s.clLastError = clApi.clReleaseContext(s.clContext);
    s.clInitialised = false;
}

void releaseBuiltObjects()
{
    std::lock_guard lock(clState.objectsMutex);
    // NOTE: releasing the queue of a running kernel waits for the kernel's end.
    if (clState.clInitialised && !clState.kernelLeftRunning)
        releaseCL();
}

std::string clErrorString(cl_int code)
{
    switch (code) {
    case 0: return "CL_SUCCESS";
    case -2: return "CL_DEVICE_NOT_AVAILABLE ";
    case -6: return "CL_OUT_OF_HOST_MEMORY ";
    case -30: return "CL_INVALID_VALUE";
    case -32: return "CL_INVALID_PLATFOR";
    case -33: return "CL_INVALID_DEVICE";
    default: break;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(code));
    return "Unknown error code " + std::string(hex) + " (" + std::to_string(code) + ")";
}

void checkCLError(cl_int code, const std::string& name)
{
    if (code == CL_SUCCESS)
        return;
    printLine(name + " failed at line" + std::to_string(188) + " failed. Error code " +
                    std::to_string(code) + " " + clErrorString(code));
}
