// The OpenCL compute backend as the rest of the program sees it: the probe and the device list,
// the set-up thread that builds context, queue, programs and kernels, the per-frame dispatch,
// the release of the OpenCL objects and the error texts.
#pragma once

#include "core/fractal_record.h"
#include "opencl/cl_globals.h"

#include <CL/cl.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// One OpenCL device; its place in deviceList is its device id.
struct DeviceInfo {
    cl_device_id id = nullptr;
    std::string name; // device name, ":", device version; leading blanks removed
    bool supportsDouble = false;
    bool supportsGLSharing = false;
    cl_platform_id platform = nullptr;
    uint64_t deviceType = 0;
};

// The OpenCL state shared by the set-up thread and the dispatch. Programs and kernels: index 0
// double precision, index 1 single precision.
struct ClState {
    ClState() = default;
    ~ClState(); // releases what a build made
    ClState(const ClState&) = delete;
    ClState& operator=(const ClState&) = delete;

    int32_t clImageWidth = 0;
    int32_t clImageHeight = 0;
    bool clInitialised = false;    // context, queue, programs and kernels exist
    bool clInteropContext = false; // the context shares objects with OpenGL
    bool clBuffersCreated = false; // clBuffers holds the dispatch's memory objects
    std::vector<DeviceInfo> deviceList;
    bool clDeviceHasDouble = false;
    cl_device_id clDevice = nullptr;
    cl_context clContext = nullptr;
    cl_command_queue clQueue = nullptr;
    std::vector<cl_mem> clBuffers;
    cl_program clPrograms[2] = {nullptr, nullptr};
    cl_kernel clKernels[2] = {nullptr, nullptr};
    cl_int clLastError = CL_SUCCESS;
    std::atomic<uint32_t> buildsStarted{0}; // builds the set-up thread has begun
    // A frame was abandoned at a stop while its kernel still ran: the objects stay busy, and
    // are neither waited for nor released, until the process ends.
    std::atomic<bool> kernelLeftRunning{false};

    // NOTE: held by the dispatch for its whole call and by a build from its release of the
    // old objects to its end, so that no dispatch uses objects that a build releases.
    std::mutex objectsMutex;
};
extern ClState clState;

// The shared library of the OpenCL loader.
constexpr const char* openCLLibraryName = "libOpenCL.so.1";

// True when the OpenCL runtime library loads and gives every entry point of clApi. The first
// call loads it and fills clApi; the library then stays loaded. Any thread.
bool openCLRuntimeLoads();

// Fills deviceList without a listing when the runtime loads. Main thread, at start-up.
void probeOpenCL();

// Refills deviceList with the CPU, GPU and accelerator devices of every platform, writing one
// empty line per platform; with print, each device's two lines come before its platform's
// empty line. Without the runtime the list stays empty. Main thread, while the set-up thread is
// idle.
void listDevices(bool print);

// True when deviceId indexes deviceList.
bool deviceIdValid();

// Body of the OpenCL set-up thread: builds on each request until quitFlag is set.
void openCLSetupThread();

// Asks the set-up thread to build for the current device, precision and sharing mode; does
// nothing when deviceId does not index deviceList. Main thread.
void requestKernelRebuild();

// True when the kernels can write into shared OpenGL textures on the current device.
bool interopAvailable();

// Computes one record on the device into *hostBuffer, or into the shared texture textureIndex
// of textures when the context shares with OpenGL. Compute thread, or main thread in
// synchronous mode; waits while a build replaces the objects. Once stopFlag is set it leaves the
// kernel running and returns without its image (see kernelLeftRunning).
void computeCL(int32_t fractalType, uint16_t** hostBuffer, const std::vector<unsigned>& textures,
               int32_t useDouble, const FractalRecord& record, int32_t textureIndex);

// Releases the kernels, programs, memory objects, queue and context of the last build.
// The set-up thread inside a build, or the main thread once no other thread uses them.
void releaseCL();

// Releases what a build made, if anything; afterwards nothing is left to release. Leaves the
// objects of a kernel left running alone. Main thread at shutdown, after the set-up and compute
// threads have ended.
void releaseBuiltObjects();

// The text of an OpenCL error code. Any thread.
std::string clErrorString(cl_int code);

// Reports a failed OpenCL call of the dispatch on standard output; 0 prints nothing. Any thread.
void checkCLError(cl_int code, const std::string& name);
