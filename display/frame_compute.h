// The frame step's one way of computing a record: on the CPU pool, or on the OpenCL device.
// Start-up chooses the device side once, as the probe found a device or none; cpuMode picks
// the side per frame. Both sides run on the compute thread, or on the main thread in
// synchronous mode.
#pragma once

#include "core/fractal_record.h"

#include <cstdint>
#include <functional>
#include <vector>

struct FrameCompute {
    // Computes the record, as the given fractal type, into iterationBuffer on the CPU pool in
    // precision 1 single, 2 double or 3 extended.
    std::function<void(const FractalRecord& record, int32_t type, int32_t precisionCode)> cpu;

    // Computes the record on the device into *hostBuffer, or into textures[textureIndex] when
    // *hostBuffer is null; useDouble is the precision the kernels were built with.
    std::function<void(int32_t type, uint16_t** hostBuffer, const std::vector<unsigned>& textures,
                       int32_t useDouble, const FractalRecord& record, int32_t textureIndex)>
        device;
};

// The CPU pool, and no device: the device side leaves the image as it is.
FrameCompute cpuOnlyCompute();

// The CPU pool, and the OpenCL device of the device list.
FrameCompute openCLCompute();

// What the frame step computes with; cpuOnlyCompute() until start-up chooses.
extern FrameCompute frameCompute;
