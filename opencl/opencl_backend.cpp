#include "opencl/opencl_backend.h"

#include "core/globals.h"
#include "opencl/cl_globals.h"

ClState clState;

bool openCLRuntimeLoads()
{
    return false;
}

void probeOpenCL()
{
    if (!openCLRuntimeLoads())
        return;
    listDevices(false);
}

void listDevices(bool)
{
    clState.deviceList.clear();
}

void openCLSetupThread()
{
    while (!quitFlag) {
        clSetupSemaphore.acquire();
    }
}

void computeCL(int32_t, uint16_t**, const std::vector<unsigned>&, int32_t, const FractalRecord&,
               int32_t)
{
}

void requestKernelRebuild()
{
}
