#include "display/frame_step.h"

#include "core/frame_wait.h"
#include "core/globals.h"
#include "core/message_log.h"
#include "display/frame_compute.h"
#include "display/gl_display.h"
#include "opencl/cl_globals.h"
#include "platform/console.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

std::deque<PixelBuffer> makeFreeBuffers()
{
    std::deque<PixelBuffer> buffers;
    const size_t size = static_cast<size_t>(imageWidth) * static_cast<size_t>(imageHeight);
    for (int i = 0; i < pixelBufferCount; ++i)
        buffers.push_back(std::make_unique<uint16_t[]>(size)); // value-initialised: zero-filled
    return buffers;
}

// NOTE: the compute thread and synchronous mode's renderScene may both reach frameStep;
// two frame steps on one CPU pool would corrupt its tile queue.
std::timed_mutex frameStepMutex;

uint64_t nanosecondsSince(std::chrono::steady_clock::time_point start)
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
            .count());
}

void logFrameTime(uint64_t elapsed)
{
    if (!timingLogs || elapsed == 0)
        return;
    const std::string text = frameTimeText(elapsed);
    printLine(text);
    addMessage(text);
}

} // namespace

std::deque<PixelBuffer> freeBuffers = makeFreeBuffers();
std::deque<PixelBuffer> readyBuffers;
std::thread computeThread;

std::string frameTimeText(uint64_t nanoseconds)
{
    std::ostringstream text;
    text << "Frame time " << static_cast<double>(nanoseconds) / 1000000000.0 << " s";
    return text.str();
}

bool isValidImageSize(int32_t width, int32_t height)
{
    return width > 0 && height > 0 && width % 256 == 0 && height % 256 == 0;
}

void asyncComputeThread()
{
    for (;;) {
        if (stopFlag)
            return;
        std::unique_lock lock(computeRequestMutex);
        // NOTE: stopFlag is set under this mutex before the one shutdown notification, so
        // testing it here, before waiting, cannot miss that notification.
        if (stopFlag)
            return;
        computeRequest.wait(lock);
        if (syncMode) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } else if (frameStep(interopActive)) {
            return;
        }
    }
}

bool frameStep(bool interop)
{
    std::unique_lock frameLock(frameStepMutex, std::defer_lock);
    // NOTE: the main thread may meet a frame of the compute thread here, just after the mode
    // changed; a close seen while it waits stops that frame.
    if (frameWaitLook != nullptr)
        waitLooking([&frameLock](std::chrono::milliseconds interval) {
            return frameLock.try_lock_for(interval);
        });
    else
        frameLock.lock();

    if (interop != interopActive)
        return false;
    if (!displayState.displayReady)
        return false;
    if (stopFlag)
        return true;
    uint32_t dropsAtStart;
    {
        std::lock_guard lock(pendingFramesMutex);
        if (pendingFrames <= 0)
            return false;
        dropsAtStart = pendingFramesDropped;
    }
    if (!cpuMode && !clReady)
        return false;
    if (stopFlag)
        return true;

    uint64_t elapsed = 0;
    const auto start = std::chrono::steady_clock::now();

    FractalRecord record;
    {
        std::lock_guard lock(renderQueueMutex);
        if (!renderQueue.empty()) {
            record = renderQueue.front();
            renderQueue.pop_front();
        } else {
            record = lastQueuedFractal;
        }
    }
    if (clRebuildRequested)
        return false;

    // NOTE: every frame is computed with the type of its own record; with several records
    // queued, the global fractalType belongs to the newest one.
    const int32_t type = record.fractalType;

    if (interop && !cpuMode) {
        int32_t textureIndex;
        {
            std::lock_guard lock(interopMutex);
            textureIndex = interopTextureIndex;
        }
        uint16_t* noHostBuffer = nullptr;
        frameCompute.device(type, &noHostBuffer, displayState.interopTextures, clUseDouble, record,
                            textureIndex);
        {
            std::lock_guard lock(interopMutex);
            interopFrameCount += 1;
            interopTextureIndex = static_cast<int32_t>(static_cast<uint32_t>(interopTextureIndex + 1)
                                                       % static_cast<uint32_t>(interopTextureCount));
        }
        elapsed = nanosecondsSince(start);
    } else {
        PixelBuffer buffer;
        {
            std::lock_guard lock(bufferMutex);
            if (!freeBuffers.empty()) {
                buffer = std::move(freeBuffers.front());
                freeBuffers.pop_front();
            }
        }
        if (buffer) {
            if (cpuMode) {
                frameCompute.cpu(record, type, useExtended ? 3 : useDouble ? 2 : 1);
            } else {
                frameCompute.device(type, &iterationBuffer, displayState.interopTextures, clUseDouble,
                                    record, 0);
            }
            elapsed = nanosecondsSince(start);
            if (iterationBuffer)
                std::memcpy(buffer.get(), iterationBuffer,
                            static_cast<size_t>(imageWidth) * static_cast<size_t>(imageHeight)
                                * sizeof(uint16_t));
            std::lock_guard lock(bufferMutex);
            readyBuffers.push_back(std::move(buffer));
        }
    }

    logFrameTime(elapsed);
    // NOTE: a frame begun before the pending frames were dropped, as a benchmark's start drops
    // them, belongs to neither the frames nor the benchmark that came after. Its time is added
    // before the count is lowered: the main loop ends a benchmark once no frame is pending, and
    // its total must hold the last frame.
    std::lock_guard lock(pendingFramesMutex);
    if (pendingFramesDropped != dropsAtStart)
        return false;
    if (benchmarkActive) {
        std::lock_guard timeLock(renderTimeMutex);
        totalRenderTime += elapsed;
    }
    if (pendingFrames > 0)
        pendingFrames -= 1;
    return false;
}

void popReadyBuffer(PixelBuffer& out)
{
    std::lock_guard lock(bufferMutex);
    if (readyBuffers.empty()) {
        out = nullptr;
        return;
    }
    out = std::move(readyBuffers.front());
    readyBuffers.pop_front();
}

void returnFreeBuffer(PixelBuffer buffer)
{
    std::lock_guard lock(bufferMutex);
    freeBuffers.push_back(std::move(buffer));
}
