// The OpenCL compute backend as the rest of the program sees it: the device list, the probe,
// the set-up thread and the per-frame dispatch. This build has no OpenCL backend: the probe
// finds no device and the program computes on the CPU pool.
#pragma once

#include "core/fractal_record.h"
#include "opencl/cl_globals.h"

#include <cstdint>
#include <string>
#include <vector>

// One OpenCL device; its place in deviceList is its device id.
struct DeviceInfo {
    void* id = nullptr;
    std::string name;
    bool supportsDouble = false;
    bool supportsGLSharing = false;
    void* platform = nullptr;
    uint64_t deviceType = 0;
};

// The OpenCL state: the device list and the objects of the set-up thread.
struct ClState {
    std::vector<DeviceInfo> deviceList;
};
extern ClState clState;

// True when the OpenCL runtime library can be loaded (it is released again at once).
bool openCLRuntimeLoads();

// Fills deviceList without a listing when the runtime loads. Main thread, at start-up.
void probeOpenCL();

// Refills deviceList; with print, lists every device on standard output.
void listDevices(bool print);

// Body of the OpenCL set-up thread: waits on clSetupSemaphore until quitFlag is set.
void openCLSetupThread();

// Computes one record on the device into *hostBuffer, or into the shared texture textureIndex
// when hostBuffer points at a null pointer. Compute thread, or main thread in synchronous mode.
void computeCL(int32_t fractalType, uint16_t** hostBuffer, const std::vector<unsigned>& textures,
               int32_t useDouble, const FractalRecord& record, int32_t textureIndex);

// Asks the OpenCL set-up thread to (re)build the kernels. Main thread.
void requestKernelRebuild();
