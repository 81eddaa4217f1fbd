#include "display/frame_compute.h"

#include "core/cpu_threads.h"
#include "core/globals.h"
#include "opencl/opencl_backend.h"

namespace {

void computeOnCpuPool(const FractalRecord& record, int32_t type, int32_t precisionCode)
{
    if (cpuThreadsPool)
        computeCpuFrame(*cpuThreadsPool, record, precisionCode, type);
}

} // namespace

FrameCompute cpuOnlyCompute()
{
    return {computeOnCpuPool, [](int32_t, uint16_t**, const std::vector<unsigned>&, int32_t,
                                 const FractalRecord&, int32_t) {}};
}

FrameCompute openCLCompute()
{
    return {computeOnCpuPool, computeCL};
}

FrameCompute frameCompute = cpuOnlyCompute();
