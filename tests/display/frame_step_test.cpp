#include "display/frame_step.h"

#include "core/cpu_threads.h"
#include "core/fractal_list.h"
#include "core/globals.h"
#include "core/message_log.h"
#include "display/frame_compute.h"
#include "display/gl_display.h"
#include "opencl/cl_globals.h"
#include "tests/support/display_state.h"
#include "tests/support/fresh_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// The real CPU pool over the global iteration buffer, with the frame pipeline reset around it.
class FrameStepTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        resetDisplayState();
        image.assign(2 * static_cast<size_t>(imageWidth) * imageHeight, 0);
        pool = new CPUThreads(static_cast<int32_t>(std::thread::hardware_concurrency()), imageWidth,
                              imageHeight, image.data());
    }
    static void TearDownTestSuite()
    {
        testing::internal::CaptureStdout();
        delete pool;
        testing::internal::GetCapturedStdout();
        pool = nullptr;
    }

    void SetUp() override
    {
        resetDisplayState();
        iterationBuffer = image.data();
        // The CPU side is the real pool; the device side records what it was asked.
        deviceCalls.clear();
        frameCompute.device = [](int32_t type, uint16_t** hostBuffer, const std::vector<unsigned>&,
                                 int32_t useDouble, const FractalRecord&, int32_t textureIndex) {
            deviceCalls.push_back({type, *hostBuffer != nullptr, useDouble, textureIndex});
        };
        cpuThreadsPool = pool;
        displayState.displayReady = true;
        cpuMode = true;
        lastQueuedFractal = quickMandelbrot(3);
    }
    void TearDown() override
    {
        // The display state would delete OpenGL objects at exit while marked ready.
        displayState.displayReady = false;
        resetDisplayState();
    }

    // A Mandelbrot record whose frame costs at most a few iterations per pixel.
    static FractalRecord quickMandelbrot(int32_t iterations)
    {
        FractalRecord record = defaultFractalRecord(0, 0);
        record.maxIterations = iterations;
        return record;
    }

    // The value at p = (1, 0) of the default Mandelbrot view: z escapes at step 2.
    static uint16_t valueAtOne(const PixelBuffer& buffer) { return buffer[1536 + 1024 * 2048]; }

    static bool step()
    {
        testing::internal::CaptureStdout();
        const bool result = frameStep(false);
        lastOutput = testing::internal::GetCapturedStdout();
        return result;
    }

    struct DeviceCall {
        int32_t type;
        bool toHostBuffer;
        int32_t useDouble;
        int32_t textureIndex;
    };
    static inline std::vector<DeviceCall> deviceCalls;
    static inline std::vector<uint16_t> image;
    static inline CPUThreads* pool = nullptr;
    static inline std::string lastOutput;
};

TEST_F(FrameStepTest, PreconditionsReturnWithNothingTaken)
{
    renderQueue.push_back(quickMandelbrot(3));

    EXPECT_FALSE(step()) << "pendingFrames 0";
    EXPECT_EQ(renderQueue.size(), 1u);

    pendingFrames = 1;
    EXPECT_FALSE(frameStep(true)) << "interop argument differs from interopActive";
    EXPECT_EQ(renderQueue.size(), 1u);

    displayState.displayReady = false;
    EXPECT_FALSE(frameStep(false)) << "display not ready";
    EXPECT_EQ(renderQueue.size(), 1u);
    displayState.displayReady = true;

    stopFlag = true;
    pendingFrames = 0;
    EXPECT_TRUE(frameStep(false)) << "stop is reported before pendingFrames is read";
    EXPECT_EQ(renderQueue.size(), 1u);
    stopFlag = false;

    pendingFrames = 1;
    cpuMode = false;
    EXPECT_FALSE(step()) << "neither CPU mode nor a built OpenCL program";
    EXPECT_EQ(renderQueue.size(), 1u);
    EXPECT_EQ(pendingFrames, 1);
    EXPECT_TRUE(readyBuffers.empty());
}

TEST_F(FrameStepTest, RebuildRequestDropsTheRecordAndKeepsPending)
{
    renderQueue.push_back(quickMandelbrot(3));
    pendingFrames = 1;
    clRebuildRequested = true;
    EXPECT_FALSE(step());
    EXPECT_TRUE(renderQueue.empty());
    EXPECT_EQ(pendingFrames, 1);
    EXPECT_TRUE(readyBuffers.empty());
    EXPECT_EQ(lastOutput, "");
}

TEST_F(FrameStepTest, EmptyQueueRecomputesLastQueuedUntilPendingRunsOut)
{
    pendingFrames = 3;
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(step());
    EXPECT_EQ(pendingFrames, 0);
    ASSERT_EQ(readyBuffers.size(), 3u);
    for (const PixelBuffer& buffer : readyBuffers)
        EXPECT_EQ(valueAtOne(buffer), 2);
    EXPECT_EQ(lastOutput, "") << "no frame without pending frames";
}

TEST_F(FrameStepTest, QueuedRecordsRunInOrderWithTheirOwnType)
{
    // The global type is Julia; each record must still be computed as a Mandelbrot.
    fractalType = 1;
    renderQueue.push_back(quickMandelbrot(3));
    renderQueue.push_back(quickMandelbrot(1));
    renderQueue.push_back(quickMandelbrot(3));
    pendingFrames = 3;
    messageLog = std::make_unique<CMessageLog>(0.0f, 0.0f, 1.0f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(step());
        EXPECT_EQ(lastOutput.rfind("Frame time ", 0), 0u) << lastOutput;
        EXPECT_EQ(lastOutput.substr(lastOutput.size() - 3), " s\n");
        ASSERT_EQ(messageLog->messages.size(), static_cast<size_t>(i + 1));
        EXPECT_EQ(messageLog->messages.back() + "\n", lastOutput);
    }
    messageLog.reset();
    ASSERT_EQ(readyBuffers.size(), 3u);
    EXPECT_EQ(valueAtOne(readyBuffers[0]), 2);
    EXPECT_EQ(valueAtOne(readyBuffers[1]), 0);
    EXPECT_EQ(valueAtOne(readyBuffers[2]), 2);
    EXPECT_TRUE(renderQueue.empty());
}

TEST(FrameTimeTest, SecondsInTheStreamsGeneralFormat)
{
    EXPECT_EQ(frameTimeText(52340000), "Frame time 0.05234 s");
    EXPECT_EQ(frameTimeText(40000), "Frame time 4e-05 s");
    EXPECT_EQ(frameTimeText(100000), "Frame time 0.0001 s");
    EXPECT_EQ(frameTimeText(1234567890), "Frame time 1.23457 s");
    EXPECT_EQ(frameTimeText(999999000000000), "Frame time 999999 s");
    EXPECT_EQ(frameTimeText(1000000000000000), "Frame time 1e+06 s");
}

TEST_F(FrameStepTest, WithoutAPoolOrOnOpenCLTheBufferGetsTheIterationImage)
{
    // Nothing computes into the image: the hand-over copies whatever it holds.
    std::fill(image.begin(), image.end(), uint16_t{0});
    image[1536 + 1024 * 2048] = 777;
    pendingFrames = 2;
    cpuThreadsPool = nullptr;
    EXPECT_FALSE(step());
    cpuMode = false;
    clReady = true;
    EXPECT_FALSE(step());
    EXPECT_EQ(pendingFrames, 0);
    ASSERT_EQ(readyBuffers.size(), 2u);
    EXPECT_EQ(valueAtOne(readyBuffers[0]), 777);
    EXPECT_EQ(valueAtOne(readyBuffers[1]), 777);
    EXPECT_EQ(interopFrameCount, 1) << "no shared texture was written";
    ASSERT_EQ(deviceCalls.size(), 1u);
    EXPECT_TRUE(deviceCalls[0].toHostBuffer);
    EXPECT_EQ(deviceCalls[0].type, 0);
}

TEST_F(FrameStepTest, SharedTexturesAreWrittenInTurnWithoutBuffers)
{
    cpuMode = false;
    clReady = true;
    interopActive = true;
    pendingFrames = 3;
    // Frame n goes into texture (n - 1) mod 2; the count then names the same texture.
    for (int frame = 1; frame <= 3; ++frame) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(interopTextureIndex, (frame - 1) % 2);
        EXPECT_FALSE(frameStep(true));
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(interopTextureIndex, frame % 2);
        EXPECT_EQ(interopFrameCount % interopTextureCount, (frame - 1) % 2);
        EXPECT_EQ(pendingFrames, 3 - frame);
    }
    EXPECT_EQ(interopFrameCount, 4);
    ASSERT_EQ(deviceCalls.size(), 3u);
    for (size_t i = 0; i < deviceCalls.size(); ++i) {
        EXPECT_FALSE(deviceCalls[i].toHostBuffer);
        EXPECT_EQ(deviceCalls[i].textureIndex, static_cast<int32_t>(i % 2));
    }
    EXPECT_TRUE(readyBuffers.empty());
    EXPECT_EQ(freeBuffers.size(), static_cast<size_t>(pixelBufferCount));

    // In CPU mode the pool computes into a buffer even while textures are shared.
    cpuMode = true;
    pendingFrames = 1;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(frameStep(true));
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(readyBuffers.size(), 1u);
    EXPECT_EQ(valueAtOne(readyBuffers[0]), 2);
    EXPECT_EQ(interopFrameCount, 4);
    EXPECT_EQ(deviceCalls.size(), 3u) << "the device is not asked in CPU mode";
}

TEST_F(FrameStepTest, PrecisionCodeFollowsTheSettings)
{
    pendingFrames = 3;
    useExtended = true;
    useDouble = true;
    step();
    EXPECT_EQ(cpuPrecision, 3);
    useExtended = false;
    step();
    EXPECT_EQ(cpuPrecision, 2);
    useDouble = false;
    step();
    EXPECT_EQ(cpuPrecision, 1);
    for (const PixelBuffer& buffer : readyBuffers)
        EXPECT_EQ(valueAtOne(buffer), 2);
}

TEST_F(FrameStepTest, DryBufferPoolUsesUpTheRecordSilently)
{
    pendingFrames = pixelBufferCount + 1;
    for (int i = 0; i < pixelBufferCount; ++i)
        step();
    EXPECT_TRUE(freeBuffers.empty());
    benchmarkActive = true;
    EXPECT_FALSE(step());
    EXPECT_EQ(lastOutput, "");
    EXPECT_EQ(pendingFrames, 0);
    EXPECT_EQ(totalRenderTime, 0u);
    EXPECT_EQ(readyBuffers.size(), static_cast<size_t>(pixelBufferCount));
}

TEST_F(FrameStepTest, BenchmarkSumGrowsWithoutTimingLogs)
{
    timingLogs = false;
    // A frame begun before a benchmark's start is neither in its sum nor one of its frames.
    cpuMode = false;
    clReady = true;
    frameCompute.device = [](int32_t, uint16_t**, const std::vector<unsigned>&, int32_t,
                             const FractalRecord&, int32_t) {
        dropPendingFrames();
        requestFrame();
        benchmarkActive = true;
    };
    pendingFrames = 1;
    step();
    EXPECT_EQ(totalRenderTime, 0u);
    EXPECT_EQ(pendingFrames, 1);
    cpuMode = true;
    pendingFrames = 2;
    step();
    EXPECT_EQ(lastOutput, "");
    const uint64_t first = totalRenderTime;
    EXPECT_GT(first, 0u);
    step();
    EXPECT_GT(totalRenderTime, first);
}

TEST_F(FrameStepTest, ReadyBuffersCirculate)
{
    PixelBuffer out = std::make_unique<uint16_t[]>(1);
    popReadyBuffer(out);
    EXPECT_EQ(out, nullptr);

    pendingFrames = 1;
    step();
    popReadyBuffer(out);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(valueAtOne(out), 2);
    EXPECT_TRUE(readyBuffers.empty());
    returnFreeBuffer(std::move(out));
    EXPECT_EQ(freeBuffers.size(), static_cast<size_t>(pixelBufferCount));
}

TEST_F(FrameStepTest, ModeSwitchesDuringFramesAlwaysShutDown)
{
    for (int round = 0; round < 20; ++round) {
        stopFlag = false;
        std::thread compute(asyncComputeThread);
        testing::internal::CaptureStdout();
        for (int i = 0; i < 10; ++i) {
            {
                std::lock_guard lock(pendingFramesMutex);
                pendingFrames = 2;
            }
            syncMode = (i + round) % 3 == 0;
            computeRequest.notify_one();
            if (syncMode)
                frameStep(false);
            PixelBuffer out;
            popReadyBuffer(out);
            if (out)
                returnFreeBuffer(std::move(out));
        }
        {
            std::lock_guard lock(computeRequestMutex);
            stopFlag = true;
        }
        computeRequest.notify_one();
        compute.join();
        testing::internal::GetCapturedStdout();
        syncMode = false;
        EXPECT_EQ(freeBuffers.size() + readyBuffers.size(), static_cast<size_t>(pixelBufferCount));
    }
}

TEST(FrameGridTest, ImageSizesMustBeMultiplesOf256)
{
    EXPECT_TRUE(isValidImageSize(2048, 2048));
    EXPECT_TRUE(isValidImageSize(256, 512));
    EXPECT_FALSE(isValidImageSize(2048, 1008));
    EXPECT_FALSE(isValidImageSize(0, 2048));
    EXPECT_FALSE(isValidImageSize(-256, 256));
}

TEST(BufferPoolTest, EightZeroFilledBuffersAtStart)
{
    // The pool as static initialisation left it.
    if (!aloneInThisProcess())
        return;
    std::lock_guard lock(bufferMutex);
    ASSERT_EQ(freeBuffers.size(), 8u);
    EXPECT_TRUE(readyBuffers.empty());
    const size_t size = static_cast<size_t>(imageWidth) * imageHeight;
    EXPECT_EQ(size, 4194304u);
    for (const PixelBuffer& buffer : freeBuffers)
        for (size_t i = 0; i < size; i += 4093)
            ASSERT_EQ(buffer[i], 0);
}

} // namespace
